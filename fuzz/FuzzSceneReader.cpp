// libFuzzer harness: scene files are untrusted (checks in FuzzChecks.h).
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!fuzz_checks::sceneReader(data, size))
        __builtin_trap();
    return 0;
}
