#pragma once

// The body of BandLevels::sumBands: a template the fused block pass inlines
// into its own loop, so it lives here, in a private header, rather than in
// BandLevels.h.

#include "korvala/detail/Simd.h"
#include "korvala/dsp/features/BandLevels.h"

// Always inlined: the caller's running sums must stay in registers across the
// calls of beside().
template <typename Beside>
KORVALA_ALWAYS_INLINE inline void BandLevels::sumBands(const float* power, Beside&& beside) {
#if defined(__x86_64__) || defined(_M_X64)
    // Four lanes, each summing its bands one after another: every step adds
    // the next bin of every lane's band, so each band is still the plain
    // left-to-right sum of its bins, started from +0. Four bins per lane are
    // loaded at once and transposed into four steps. A lane with no band
    // left adds zeros.
    __m128 sum = _mm_setzero_ps();
    const float* zeros = zeros_.data();
    unsigned single = 0;
    for (const Segment& segment : segments_) {
        const float* row[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            row[l] = segment.start[l] < 0 ? zeros : power + segment.start[l];
        }
        const std::int32_t steps = segment.steps;
        std::int32_t j = 0;
        for (; j + 4 <= steps; j += 4) {
            __m128 a0 = _mm_loadu_ps(row[0] + j);
            __m128 a1 = _mm_loadu_ps(row[1] + j);
            __m128 a2 = _mm_loadu_ps(row[2] + j);
            __m128 a3 = _mm_loadu_ps(row[3] + j);
            _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
            sum = _mm_add_ps(sum, a0);
            sum = _mm_add_ps(sum, a1);
            sum = _mm_add_ps(sum, a2);
            sum = _mm_add_ps(sum, a3);
            beside();
        }
        for (; j < steps; ++j) {
            sum = _mm_add_ps(sum, _mm_setr_ps(row[0][j], row[1][j], row[2][j], row[3][j]));
            if (++single % 4 == 0) {
                beside();
            }
        }
        alignas(16) float lanes[kLanes];
        _mm_store_ps(lanes, sum);
        bool restart = false;
        for (std::size_t l = 0; l < kLanes; ++l) {
            if (segment.ends[l] >= 0) {
                sums_[static_cast<std::size_t>(segment.ends[l])] = lanes[l];
                lanes[l] = 0.0f;
                restart = true;
            }
        }
        if (restart) {
            sum = _mm_load_ps(lanes);
        }
    }
#else
    for (std::size_t b = 0; b < plans_.size(); ++b) {
        const Plan& plan = plans_[b];
        float sum = 0.0f;
        for (std::int32_t k = 0; k < plan.length; ++k) {
            sum += power[plan.lowBin + k];
            if (k % 4 == 3) {
                beside();
            }
        }
        sums_[b] = sum;
    }
#endif
}
