#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// The strongest peaks of a magnitude spectrum, each refined by three-point
/// interpolation over the real parts, as frequencies in Hz (loudest first).
class Algorithm_DominantFrequencies {
public:
    /// Replaces the record's dominantFrequencies with `count` peak frequencies.
    /// Bins peak − half − 1 … peak + half (half = peak / M · width) are excluded
    /// from later picks. Indices beyond the real parts raise std::out_of_range.
    static void transform(std::vector<float> real, std::vector<float> magnitudes, int count,
                          float sampleRate, KorDSPData* record, float width);
    /// The same on borrowed arrays, writing the frequencies into `result`.
    static void compute(const float* real, std::size_t realCount, const float* magnitudes,
                        std::size_t magnitudeCount, int count, float sampleRate, float width,
                        std::vector<float>& result);
};
