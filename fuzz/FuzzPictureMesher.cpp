// libFuzzer harness: pictures as deformable meshes are untrusted (checks in
// FuzzChecks.h).
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_checks::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!fuzz_checks::pictureMesher(data, size))
        __builtin_trap();
    return 0;
}
