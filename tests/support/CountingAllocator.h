#pragma once

// A count of the allocations made through operator new on the calling thread,
// to prove that real-time calls allocate nothing. The replaced operators live in
// CountingAllocator.cpp, which a test program that counts lists among its own
// sources (they may be defined only once in a program).

#include <cstddef>

namespace korvala::test {

/// Allocations made by operator new on this thread since it started.
std::size_t allocationsOnThisThread();

} // namespace korvala::test
