#include "korvala/dsp/features/BlockFeatures.h"

#include "korvala/detail/BandSums.h"
#include "korvala/detail/Simd.h"

#include <cmath>

namespace {
// The largest finite sample above +0 (later equal ones do not replace it), or
// +0. Non-finite samples count as 0.
float peak(const float* x, std::size_t n) {
    std::size_t i = 0;
    float best = 0.0f;
#if defined(__x86_64__) || defined(_M_X64)
    // max(candidate, best) keeps best unless the candidate is strictly greater:
    // the scalar rule, run in four lanes that all start at +0.
    const __m128 magnitudeMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 infinity = _mm_set1_ps(INFINITY);
    __m128 lanesA = _mm_setzero_ps();
    __m128 lanesB = _mm_setzero_ps();
    for (; i + 8 <= n; i += 8) {
        const __m128 a = _mm_loadu_ps(x + i);
        const __m128 b = _mm_loadu_ps(x + i + 4);
        const __m128 finiteA = _mm_cmplt_ps(_mm_and_ps(a, magnitudeMask), infinity);
        const __m128 finiteB = _mm_cmplt_ps(_mm_and_ps(b, magnitudeMask), infinity);
        lanesA = _mm_max_ps(_mm_and_ps(a, finiteA), lanesA);
        lanesB = _mm_max_ps(_mm_and_ps(b, finiteB), lanesB);
    }
    alignas(16) float lanes[8];
    _mm_store_ps(lanes, lanesA);
    _mm_store_ps(lanes + 4, lanesB);
    for (float v : lanes) {
        if (best < v) {
            best = v;
        }
    }
#endif
    for (; i < n; ++i) {
        const float candidate = std::isfinite(x[i]) ? x[i] : 0.0f;
        if (best < candidate) {
            best = candidate;
        }
    }
    return best;
}
} // namespace

BlockFeatures::BlockFeatures(std::size_t bins, float sampleRate)
    : bins_(bins), width_(sampleRate / static_cast<float>(2 * bins)), hfcWeights_(bins),
      previous_(bins, 0.0f) {
    for (std::size_t k = 0; k < bins; ++k) {
        hfcWeights_[k] = (static_cast<float>(2 * k + 1) * width_) * 0.5f;
    }
}

BlockFeatures::Values BlockFeatures::compute(const float* samples, const float* magnitudes) {
    return compute(samples, magnitudes, 2 * bins_);
}

BlockFeatures::Values BlockFeatures::compute(const float* samples, const float* magnitudes,
                                             std::size_t added, BandLevels* bands,
                                             const float* power) {
    const std::size_t n = bins_;
#if defined(__x86_64__) || defined(_M_X64)
    const bool sliding = added == n / 2 && n % 4 == 0;
#else
    const bool sliding = false;
#endif
    Sums sums{};
    if (added == 0 && haveSquares_) {
        // The window has not moved: its sum of squares is the last one.
        sums = accumulate<false, false>(samples, magnitudes, bands, power);
        sums.squares = lastSquares_;
    } else if (sliding && valid_[0]) {
        sums = accumulate<false, true>(samples, magnitudes, bands, power);
    } else if (sliding) {
        sums = accumulate<true, true>(samples, magnitudes, bands, power);
    } else {
        sums = accumulate<true, false>(samples, magnitudes, bands, power);
        if (added != 0) {
            valid_[0] = valid_[1] = valid_[2] = false;
        }
    }
    lastSquares_ = sums.squares;
    haveSquares_ = true;
    havePrevious_ = true;

    Values v;
    v.vu = peak(samples, 2 * n);
    v.rms = std::sqrt(sums.squares / static_cast<float>(2 * n));
    v.centroid = sums.weighted / sums.total;
    v.hfc = sums.hfc;
    v.spectralFlux = sums.rises;
    return v;
}

template <bool kFull, bool kSliding>
BlockFeatures::Sums BlockFeatures::accumulate(const float* samples, const float* magnitudes,
                                              BandLevels* bands, const float* power) {
    const std::size_t n = bins_;
    const float width = width_;
    const float* weights = hfcWeights_.data();
    float* previous = previous_.data();
    const bool flux = havePrevious_;

    // Bin k of the spectrum advances alongside samples 2k and 2k + 1 of the
    // window: independent running sums, each in its own order.
    float squares = 0.0f;
    std::size_t k = 0;
#if defined(__x86_64__) || defined(_M_X64)
    // The four spectral sums run as the lanes of one vector: four bins' terms
    // are worked out side by side, transposed so that each vector holds one
    // bin's four terms, and added bin after bin. Each lane is still its plain
    // left-to-right sum; without a previous spectrum the flux lane adds +0,
    // which leaves its +0 as it is.
    __m128 sums = _mm_setzero_ps();
    const __m128 widths = _mm_set1_ps(width);
    const __m128 fours = _mm_set1_ps(4.0f);
    const __m128 halves = _mm_set1_ps(0.5f);
    const __m128 magnitudeMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128i steps = _mm_setr_epi32(1, 2, 3, 4);
    // Sliding by a hop of n/2 samples, the window's sum of squares is the
    // partial sum over its first three hops, carried from earlier calls, plus
    // its newest hop. The newest hop's squares go into four sums at once: the
    // three partials (one of them completing this window's sum) and a fresh
    // one for the window three hops ahead. A chain of n/2 additions instead
    // of 2n, two per four bins, in the shadow of the spectral sums.
    __m128 chains = _mm_setr_ps(partial_[0], partial_[1], partial_[2], 0.0f);
    const float* hop = samples + 2 * n - n / 2;
    // The next four bins.
    const auto nextBins = [&]() KORVALA_ALWAYS_INLINE {
        if (k + 4 > n) {
            return;
        }
        if constexpr (kFull) {
            for (std::size_t j = 0; j < 8; ++j) {
                const float s = samples[2 * k + j];
                squares += s * s;
            }
        }
        if constexpr (kSliding) {
            const float s0 = hop[k / 2];
            const float s1 = hop[k / 2 + 1];
            chains = _mm_add_ps(chains, _mm_set1_ps(s0 * s0));
            chains = _mm_add_ps(chains, _mm_set1_ps(s1 * s1));
        }
        __m128 m = _mm_loadu_ps(magnitudes + k);
        const __m128 position =
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(static_cast<int>(k)), steps));
        __m128 weighted = _mm_mul_ps(_mm_mul_ps(position, m), widths);
        __m128 hfc = _mm_mul_ps(_mm_loadu_ps(weights + k), m);
        const __m128 current = _mm_mul_ps(_mm_mul_ps(m, fours), m);
        __m128 rise = _mm_setzero_ps();
        if (flux) {
            const __m128 step = _mm_sub_ps(current, _mm_loadu_ps(previous + k));
            rise = _mm_mul_ps(_mm_add_ps(step, _mm_and_ps(step, magnitudeMask)), halves);
        }
        _mm_storeu_ps(previous + k, current);
        _MM_TRANSPOSE4_PS(m, weighted, hfc, rise);
        sums = _mm_add_ps(sums, m);
        sums = _mm_add_ps(sums, weighted);
        sums = _mm_add_ps(sums, hfc);
        sums = _mm_add_ps(sums, rise);
        k += 4;
    };
    // The band sums are chains of dependent additions too: the bins advance
    // in their shadow, four bins per four steps of theirs.
    if (bands != nullptr) {
        bands->sumBands(power, nextBins);
    }
    for (std::size_t left = (n - k) / 4; left > 0; --left) {
        nextBins();
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, sums);
    float total = lanes[0];
    float weighted = lanes[1];
    float hfc = lanes[2];
    float rises = lanes[3];
    if constexpr (kSliding) {
        // The bin count is a multiple of four here: the whole hop is in.
        _mm_store_ps(lanes, chains);
        if constexpr (!kFull) {
            squares = lanes[0];
        }
        partial_[0] = lanes[1];
        partial_[1] = lanes[2];
        partial_[2] = lanes[3];
        valid_[0] = valid_[1];
        valid_[1] = valid_[2];
        valid_[2] = true;
    }
#else
    float total = 0.0f;
    float weighted = 0.0f;
    float hfc = 0.0f;
    float rises = 0.0f;
    if (bands != nullptr) {
        bands->sumBands(power, [] {});
    }
#endif
    for (; k < n; ++k) {
        if constexpr (kFull) {
            const float s0 = samples[2 * k];
            const float s1 = samples[2 * k + 1];
            squares += s0 * s0;
            squares += s1 * s1;
        }
        const float m = magnitudes[k];
        total += m;
        weighted += (static_cast<float>(k + 1) * m) * width;
        hfc += weights[k] * m;
        const float current = (m * 4.0f) * m;
        if (flux) {
            const float rise = current - previous[k];
            rises += (rise + std::fabs(rise)) * 0.5f;
        }
        previous[k] = current;
    }
    return Sums{squares, total, weighted, hfc, rises};
}
