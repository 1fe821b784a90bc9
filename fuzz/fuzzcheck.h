#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a finding like a crash: say which, and stop so the fuzzer keeps the input.
inline void fuzzCheck(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
