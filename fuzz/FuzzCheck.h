#pragma once
// What a fuzz target promises beyond "no crash": a broken promise ends the run with the
// condition named, and libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);    \
            std::abort();                                                                           \
        }                                                                                           \
    } while (false)
