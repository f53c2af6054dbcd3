#pragma once

// The shared library is built with hidden visibility: only what carries
// KORVALA_API (the host's classes and functions, the C interface) is exported,
// everything else stays internal to the library.
#if defined(__GNUC__) || defined(__clang__)
#define KORVALA_API __attribute__((visibility("default")))
#else
#define KORVALA_API
#endif
