#pragma once

#include "korvala/record/Band.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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
    /// lane; beside() lets another such loop run in their shadow. Defined in
    /// the private korvala/detail/BandSums.h.
    template <typename Beside> void sumBands(const float* power, Beside&& beside);
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
