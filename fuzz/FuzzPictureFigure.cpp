// libFuzzer harness: any bytes as a picture file, through its figure to a
// dark map (checks in FuzzChecks.h).
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_checks::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!fuzz_checks::pictureFigure(data, size))
        __builtin_trap();
    return 0;
}
