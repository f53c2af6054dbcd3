#pragma once

// Private speed code: the x86 intrinsics, the build macros and the vector
// helpers of the hot loops. Only .cpp files include this header and it is
// never installed, so a host's translation unit sees none of it.

#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

// KORVALA_AVX2_CLONE before a function definition builds it twice, for AVX2
// and for the baseline, and picks one at load time by the CPU: the per-point
// loops then run 4 doubles or 8 floats at a time where the CPU can. Each lane
// does the same IEEE operations either way (no contraction into fused
// multiply-adds), so both versions give the same bits. Under ThreadSanitizer
// the load-time choice would run before the sanitizer's runtime is up and
// crash: such a build keeps the baseline only.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) &&         \
    !defined(__SANITIZE_THREAD__)
#define KORVALA_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#else
#define KORVALA_AVX2_CLONE
#endif

// KORVALA_ALWAYS_INLINE forces inlining where a caller's running sums must
// stay in registers across a callback.
#if defined(__GNUC__)
#define KORVALA_ALWAYS_INLINE __attribute__((always_inline))
#else
#define KORVALA_ALWAYS_INLINE
#endif

namespace kor {

/// What a left-to-right scan that replaces `best` only by a strictly greater
/// value ends with over x[0, n): the largest value above best, else best (NaN
/// never wins). Eight lanes at a time: with only strictly greater values
/// replacing, the order in which they are met does not change the result.
inline float largestAbove(const float* x, std::size_t n, float best) {
    std::size_t i = 0;
#if defined(__x86_64__) || defined(_M_X64)
    // max(x, lanes) keeps the lane unless x is strictly greater (or NaN).
    __m128 lanesA = _mm_set1_ps(best);
    __m128 lanesB = lanesA;
    for (; i + 8 <= n; i += 8) {
        lanesA = _mm_max_ps(_mm_loadu_ps(x + i), lanesA);
        lanesB = _mm_max_ps(_mm_loadu_ps(x + i + 4), lanesB);
    }
    alignas(16) float lanes[8];
    _mm_store_ps(lanes, lanesA);
    _mm_store_ps(lanes + 4, lanesB);
    for (float v : lanes) {
        if (v > best) {
            best = v;
        }
    }
#endif
    for (; i < n; ++i) {
        if (x[i] > best) {
            best = x[i];
        }
    }
    return best;
}

} // namespace kor
