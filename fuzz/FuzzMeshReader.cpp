// libFuzzer harness: mesh files are untrusted (checks in FuzzChecks.h).
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!fuzz_checks::meshReader(data, size))
        __builtin_trap();
    return 0;
}
