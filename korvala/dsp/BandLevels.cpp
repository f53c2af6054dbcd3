#include "korvala/dsp/BandLevels.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {
// Truncates a bin position toward zero; a position no int can hold is rejected.
std::int32_t toBin(float position) {
    if (!(position > -2147483648.0f && position < 2147483648.0f)) {
        throw std::out_of_range("Algorithm_VUBP: band edge is not a valid bin");
    }
    return static_cast<std::int32_t>(position);
}

#if defined(__x86_64__) || defined(_M_X64)
constexpr std::size_t kLanes = 4;
// Lockstep groups run two at a time: eight sums, two dependent adds per step.
constexpr std::size_t kGroup = 2 * kLanes;
#else
constexpr std::size_t kGroup = 1;
#endif
} // namespace

BandLevels::BandLevels(const std::vector<Band>& bands, std::size_t n, float sampleRate) : n_(n) {
    const float width = sampleRate / static_cast<float>(2 * n);
    const auto count = static_cast<std::int64_t>(n);
    std::int32_t longest = 0;
    for (const Band& band : bands) {
        const float low = static_cast<float>(band.low);
        const float high = static_cast<float>(band.high);
        const std::int32_t lowBin = toBin(low / width);
        const std::int32_t highBin = toBin(high / width);
        if (lowBin < 0 || lowBin >= count) {
            throw std::out_of_range("Algorithm_VUBP: band starts outside the spectrum");
        }
        Plan plan{};
        plan.lowBin = lowBin;
        plan.length = highBin > lowBin ? highBin - lowBin : 0;
        plan.upperBin = -1;
        plan.lowFraction = std::fmod(low, width) / width;
        plan.upperFraction = 0.0f;
        if (static_cast<std::int64_t>(highBin) != count) {
            const std::int64_t next = static_cast<std::int64_t>(highBin) + 1;
            if (next >= count || next < 0) {
                throw std::out_of_range("Algorithm_VUBP: band ends outside the spectrum");
            }
            plan.upperBin = next;
            plan.upperFraction = std::fmod(high, width) / width;
        }
        plan.divisor = static_cast<float>(highBin - lowBin);
        plan.singleBin = highBin == lowBin;
        plans_.push_back(plan);
        longest = std::max(longest, plan.length);
    }
    order_.resize(plans_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) {
        order_[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(order_.begin(), order_.end(), [this](std::uint32_t a, std::uint32_t b) {
        return plans_[a].length > plans_[b].length;
    });
    padded_.assign(n + static_cast<std::size_t>(longest) + 8, 0.0f);
    sums_.assign(plans_.size(), 0.0f);
}

void BandLevels::compute(const float* power, float* out) {
    std::copy(power, power + n_, padded_.begin());
    sumBands();
    for (std::size_t i = 0; i < plans_.size(); ++i) {
        const Plan& plan = plans_[i];
        const float a = power[plan.lowBin];
        float result;
        if (plan.singleBin) {
            result = a;
        } else {
            // The upper term is a literal 0 when the band runs to the last bin:
            // adding it still turns a −0 into +0, as the plain formula does.
            const float upper =
                plan.upperBin < 0 ? 0.0f : plan.upperFraction * power[plan.upperBin];
            result = (upper + (sums_[i] - plan.lowFraction * a)) / plan.divisor;
        }
        out[i] = std::isnan(result) ? 0.0f : result;
    }
}

void BandLevels::sumBands() {
    const float* p = padded_.data();
    const std::size_t bands = order_.size();
#if defined(__x86_64__) || defined(_M_X64)
    // Eight bands at a time, each in its own lane: every step adds the next bin
    // of every band, so each lane is still the plain left-to-right sum of its
    // band. Four bins per band are loaded at once and transposed into four
    // steps. Past a band's end its lane adds +0, which leaves any sum as it is
    // (a sum that starts at +0 never becomes −0).
    for (std::size_t g = 0; g < bands; g += kGroup) {
        alignas(16) std::int32_t length[kGroup] = {};
        const float* row[kGroup];
        std::int32_t steps = 0;
        for (std::size_t l = 0; l < kGroup; ++l) {
            row[l] = p;
            if (g + l < bands) {
                const Plan& plan = plans_[order_[g + l]];
                length[l] = plan.length;
                row[l] = p + plan.lowBin;
                steps = std::max(steps, plan.length);
            }
        }
        const __m128i lengthA = _mm_load_si128(reinterpret_cast<const __m128i*>(length));
        const __m128i lengthB = _mm_load_si128(reinterpret_cast<const __m128i*>(length + kLanes));
        __m128 sumA = _mm_setzero_ps();
        __m128 sumB = _mm_setzero_ps();
        for (std::int32_t j = 0; j < steps; j += 4) {
            __m128 a0 = _mm_loadu_ps(row[0] + j);
            __m128 a1 = _mm_loadu_ps(row[1] + j);
            __m128 a2 = _mm_loadu_ps(row[2] + j);
            __m128 a3 = _mm_loadu_ps(row[3] + j);
            __m128 b0 = _mm_loadu_ps(row[4] + j);
            __m128 b1 = _mm_loadu_ps(row[5] + j);
            __m128 b2 = _mm_loadu_ps(row[6] + j);
            __m128 b3 = _mm_loadu_ps(row[7] + j);
            _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
            _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
            const __m128 stepA[4] = {a0, a1, a2, a3};
            const __m128 stepB[4] = {b0, b1, b2, b3};
            for (std::int32_t s = 0; s < 4; ++s) {
                const __m128i index = _mm_set1_epi32(j + s);
                const __m128 liveA = _mm_castsi128_ps(_mm_cmpgt_epi32(lengthA, index));
                const __m128 liveB = _mm_castsi128_ps(_mm_cmpgt_epi32(lengthB, index));
                sumA = _mm_add_ps(sumA, _mm_and_ps(stepA[s], liveA));
                sumB = _mm_add_ps(sumB, _mm_and_ps(stepB[s], liveB));
            }
        }
        alignas(16) float lanes[kGroup];
        _mm_store_ps(lanes, sumA);
        _mm_store_ps(lanes + kLanes, sumB);
        for (std::size_t l = 0; l < kGroup && g + l < bands; ++l) {
            sums_[order_[g + l]] = lanes[l];
        }
    }
#else
    for (std::size_t g = 0; g < bands; g += kGroup) {
        const Plan& plan = plans_[order_[g]];
        float sum = 0.0f;
        for (std::int32_t k = 0; k < plan.length; ++k) {
            sum += p[plan.lowBin + k];
        }
        sums_[order_[g]] = sum;
    }
#endif
}
