#pragma once

#include "korvala/dsp/Band.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#if defined(__GNUC__)
#define KORVALA_ALWAYS_INLINE __attribute__((always_inline))
#else
#define KORVALA_ALWAYS_INLINE
#endif

/// Levels of a fixed list of bands over a power spectrum of fixed length, each
/// bit for bit the value of Algorithm_VUBP::compute. Edges, fractions and
/// divisors are worked out once; the band sums then run side by side, packed
/// back to back into the lanes of one vector.
class BandLevels {
public:
    /// Plans `bands` (Hz) over `n` power values at `sampleRate`. A band
    /// Algorithm_VUBP::compute would reject raises the same std::out_of_range.
    BandLevels(const std::vector<Band>& bands, std::size_t n, float sampleRate);

    std::size_t bandCount() const { return plans_.size(); }
    std::size_t binCount() const { return n_; }

    /// Writes one level per band, in the order given, into `out` from `power`
    /// (binCount() values). Allocates nothing.
    void compute(const float* power, float* out);

    /// The first half of compute: the band sums, calling beside() after every
    /// four steps of them. The sums form one chain of dependent additions per
    /// lane; beside() lets another such loop run in their shadow.
    template <typename Beside> inline void sumBands(const float* power, Beside&& beside);
    /// The second half of compute: the levels from the last sumBands.
    void levelsFromSums(const float* power, float* out) const;

private:
    static constexpr std::size_t kLanes = 4;

    struct Plan {
        std::int32_t lowBin;
        std::int32_t length;   // bins summed: highBin − lowBin, or 0
        std::int64_t upperBin; // the bin the upper fraction weighs, −1 for none
        float lowFraction;     // fmod(low, width) / width
        float upperFraction;   // fmod(high, width) / width
        float divisor;         // highBin − lowBin as float
        bool singleBin;        // highBin == lowBin: the level is the low bin's power
    };

    // A stretch of the side-by-side sum in which every lane reads one band
    // (or zeros): `steps` bins from each lane's start bin, then the lanes in
    // `ends` hand their sums to those bands and restart from +0.
    struct Segment {
        std::int32_t steps;
        std::int32_t start[4]; // first bin read by each lane, −1 for zeros
        std::int32_t ends[4];  // band whose sum a lane completes, −1 for none
    };

    void planSegments(std::int32_t longest);

    std::size_t n_;
    std::vector<Plan> plans_;
    // The bands packed back to back into four lanes: longest first, each to
    // the lane with the fewest bins so far.
    std::vector<Segment> segments_;
    std::vector<float> zeros_;
    std::vector<float> sums_;
};

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
