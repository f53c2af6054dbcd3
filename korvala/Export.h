#pragma once

// The shared library is built with hidden visibility: only what carries
// KORVALA_API (the host's classes and functions, the C interface) is exported,
// everything else stays internal to the library.
// A library that links the engine in and exports an interface of its own
// (libkorvala_c.so) defines KORVALA_API as empty, so that none of the engine's
// classes, nor a template instantiated on them, leaks into its exports.
#ifndef KORVALA_API
#if defined(__GNUC__) || defined(__clang__)
#define KORVALA_API __attribute__((visibility("default")))
#else
#define KORVALA_API
#endif
#endif
