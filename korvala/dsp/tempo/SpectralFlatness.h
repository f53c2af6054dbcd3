#pragma once

#include <cstddef>
#include <vector>

namespace kor::StaticAlgorithm {

/// Spectral flatness: geometric over arithmetic mean, in [0, 1] for positive input.
class SpectralFlatness {
public:
    /// Values ≤ 0 count as the smallest normal float; NaN passes through; empty → NaN.
    static float calculate(std::vector<float> values);
    /// The same over n values, without copying them.
    static float compute(const float* values, std::size_t n);
};

} // namespace kor::StaticAlgorithm
