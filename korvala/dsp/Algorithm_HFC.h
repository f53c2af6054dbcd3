#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// High-frequency content: each magnitude weighted by its bin's centre frequency.
class Algorithm_HFC {
public:
    /// Writes Σ ((2k + 1)·w)·0.5·m[k] into the record's hfc (w = sampleRate / 2n).
    static void transform(std::vector<float> magnitudes, float sampleRate, KorDSPData* record);
    static float compute(const float* magnitudes, std::size_t n, float sampleRate);
};
