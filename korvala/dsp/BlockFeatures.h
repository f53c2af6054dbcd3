#pragma once

#include <cstddef>
#include <vector>

/// Peak, RMS, centroid, high-frequency content and spectral flux of one block
/// in a single pass, each bit for bit the value of its own algorithm
/// (Algorithm_VU, _RMS, _Centroid, _HFC, _Spectral_Flux). Every sum keeps its
/// own left-to-right order; the independent sums merely advance side by side.
class BlockFeatures {
public:
    struct Values {
        float vu = 0.0f;
        float rms = 0.0f;
        float centroid = 0.0f;
        float hfc = 0.0f;
        float spectralFlux = 0.0f;
    };

    /// For `bins` magnitudes (at least 1) over a window of 2·bins samples.
    /// Keeps the previous block's spectrum for the flux (0 on the first block).
    BlockFeatures(std::size_t bins, float sampleRate);

    /// `samples` holds 2·binCount() values, `magnitudes` binCount(). Allocates nothing.
    Values compute(const float* samples, const float* magnitudes);

    std::size_t binCount() const { return bins_; }

private:
    std::size_t bins_;
    float width_;
    std::vector<float> hfcWeights_; // ((2k + 1)·width)·0.5 per bin
    std::vector<float> previous_;   // 4·m² of the previous block
    bool havePrevious_ = false;
};
