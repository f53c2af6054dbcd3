#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// Spectral centroid in Hz, bin k weighted by (k + 1)·w; NaN for an empty or
/// silent spectrum.
/// Reference only: the engine's value comes from BlockFeatures, bit for bit equal; tests call this.
class Algorithm_Centroid {
public:
    static void transform(std::vector<float> magnitudes, float sampleRate, KorDSPData* record);
    static float compute(const float* magnitudes, std::size_t n, float sampleRate);
};
