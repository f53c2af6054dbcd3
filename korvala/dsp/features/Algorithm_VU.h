#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// Peak level: the largest positive finite sample, 0 if there is none.
/// Reference only: the engine's value comes from BlockFeatures, bit for bit equal; tests call this.
class Algorithm_VU {
public:
    /// Writes the peak of `samples` into the record's vu.
    static void transform(std::vector<float> samples, KorDSPData* record);
    /// The peak of n samples (non-finite samples count as 0; negatives never raise it).
    static float compute(const float* samples, std::size_t n);
};
