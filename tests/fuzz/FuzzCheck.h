#pragma once
// A fuzz target's invariant: when it does not hold, the run stops at once
// with its text on stderr (libFuzzer then keeps the input that broke it).

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s: %s\n", __FILE__, what);                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
