#pragma once
// A broken invariant ends the run, so that libFuzzer saves the input, in release builds too.
#include <cstdio>
#include <cstdlib>

#define QV_CHECK(cond)                                                                    \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
