#pragma once

#include "korvala/record/Band.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Band level: the mean power of the bins a frequency band covers, with the
/// band's lower edge cut proportionally and a fractional upper term.
/// Reference only: the engine's levels come from BandLevels, bit for bit equal; tests call this.
class Algorithm_VUBP {
public:
    /// Writes the level of `band` (Hz) over the power spectrum into *out (0 for
    /// NaN). A band reaching beyond the spectrum raises std::out_of_range.
    static void transform(std::vector<float> power, Band band, float sampleRate, float* out);
    /// The same over n power values, returning the level.
    static float compute(const float* power, std::size_t n, Band band, float sampleRate);
    /// A band edge's bin position truncated toward zero; a position no int can
    /// hold raises std::out_of_range.
    static std::int32_t edgeBin(float position);
};
