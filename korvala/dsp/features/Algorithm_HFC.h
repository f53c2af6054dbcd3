#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// High-frequency content: each magnitude weighted by its bin's centre frequency.
/// Reference only: the engine's value comes from BlockFeatures, bit for bit equal; tests call this.
class Algorithm_HFC {
public:
    /// Writes Σ ((2k + 1)·w)·0.5·m[k] into the record's hfc (w = sampleRate / 2n).
    static void transform(std::vector<float> magnitudes, float sampleRate, KorDSPData* record);
    static float compute(const float* magnitudes, std::size_t n, float sampleRate);
};
