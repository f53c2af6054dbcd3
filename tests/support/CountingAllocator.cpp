#include "tests/support/CountingAllocator.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t allocations = 0;
} // namespace

std::size_t korvala::test::allocationsOnThisThread() {
    return allocations;
}

// Every form of new and delete replaced as a matched pair (malloc and free), so
// the counting builds and runs under AddressSanitizer too. GCC sees the pair
// inlined into library code and takes it for a mismatched one; it is matched.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
