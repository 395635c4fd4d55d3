#pragma once
// A benchmark's set-up step must run: a failure stops the benchmark run
// with the step's line on stderr.

#include "surface/Result.h"

#include <cstdio>
#include <cstdlib>

template <class T>
void mustRun(const Result<T>& result)
{
    if (!result.ok()) {
        std::fprintf(stderr, "benchmark set-up failed: %s\n", qPrintable(result.error()));
        std::abort();
    }
}
