#pragma once

#include "korvala/dsp/Band.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Levels of a fixed list of bands over a power spectrum of fixed length, each
/// bit for bit the value of Algorithm_VUBP::compute. Edges, fractions and
/// divisors are worked out once; the band sums then run side by side.
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

private:
    struct Plan {
        std::int32_t lowBin;
        std::int32_t length;   // bins summed: highBin − lowBin, or 0
        std::int64_t upperBin; // the bin the upper fraction weighs, −1 for none
        float lowFraction;     // fmod(low, width) / width
        float upperFraction;   // fmod(high, width) / width
        float divisor;         // highBin − lowBin as float
        bool singleBin;        // highBin == lowBin: the level is the low bin's power
    };

    void sumBands();

    std::size_t n_;
    std::vector<Plan> plans_;
    // Plans ordered by descending length, so the sums run side by side in
    // groups of similar length.
    std::vector<std::uint32_t> order_;
    // The spectrum followed by zeros: a group reads past a short band's end
    // (values it then discards) without leaving the buffer.
    std::vector<float> padded_;
    std::vector<float> sums_;
};
