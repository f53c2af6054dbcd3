#pragma once

#include "korvala/record/KorDSPData.h"

#include <cstddef>
#include <vector>

/// Spectral flux: the summed rises of 4·m² since the previous block. Keeps the
/// previous block's spectrum; the first block after construction gives 0.
/// Reference only: the engine's value comes from BlockFeatures, bit for bit equal; tests call this.
class Algorithm_Spectral_Flux {
public:
    /// Writes the flux of `magnitudes` into the record's spectralFlux. A previous
    /// spectrum shorter than this one raises std::out_of_range (state unchanged).
    void transform(std::vector<float> magnitudes, KorDSPData* record);
    /// The same on n magnitudes, returning the flux.
    float compute(const float* magnitudes, std::size_t n);

    /// x·(4·x).
    static float absoluteValueToMagnitude(float x);
    /// (x + |x|)·0.5: x when positive, else 0.
    static float halfWaveRectify(float x);

private:
    std::vector<float> previous_;
    std::vector<float> current_;
};
