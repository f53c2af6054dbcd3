#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// Root-mean-square level; NaN for an empty input.
/// Reference only: the engine's value comes from BlockFeatures, bit for bit equal; tests call this.
class Algorithm_RMS {
public:
    /// Writes the RMS of `samples` into the record's rms.
    static void transform(std::vector<float> samples, KorDSPData* record);
    /// sqrt(Σx² / n), summed in order in single precision.
    static float compute(const float* samples, std::size_t n);
};
