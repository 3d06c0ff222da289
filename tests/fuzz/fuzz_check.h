#pragma once
// FUZZ_CHECK: a property of a fuzz target. A violated property is reported like a crash (the message on
// stderr, then a trap), so libFuzzer keeps the input that broke it. Any thread may use it.
#include <cstdio>

#define FUZZ_CHECK(cond, ...)                                                                           \
    do {                                                                                                \
        if (!(cond)) {                                                                                  \
            std::fprintf(stderr, "fuzz property violated at %s:%d: %s\n  ", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                                                          \
            std::fputc('\n', stderr);                                                                   \
            __builtin_trap();                                                                           \
        }                                                                                               \
    } while (0)
