#pragma once

#include <cstddef>
#include <vector>

class BandLevels;

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
    /// The same for a window that has slid by `added` samples (0 to 2·binCount())
    /// since the last call: the window's first samples are then the last call's
    /// later ones. Windows sliding by binCount()/2 take a shorter route to the RMS.
    /// With `bands`, also runs bands->sumBands(power) in the same pass; read
    /// the levels with bands->levelsFromSums(power, ...) afterwards.
    Values compute(const float* samples, const float* magnitudes, std::size_t added,
                   BandLevels* bands = nullptr, const float* power = nullptr);

    std::size_t binCount() const { return bins_; }

private:
    struct Sums {
        float squares;
        float total;
        float weighted;
        float hfc;
        float rises;
    };
    /// One pass over the window and the spectrum. kFull: the whole window's sum
    /// of squares; kSliding: the newest hop's squares added to the partial sums.
    template <bool kFull, bool kSliding>
    Sums accumulate(const float* samples, const float* magnitudes, BandLevels* bands,
                    const float* power);

    std::size_t bins_;
    float width_;
    std::vector<float> hfcWeights_; // ((2k + 1)·width)·0.5 per bin
    std::vector<float> previous_;   // 4·m² of the previous block
    bool havePrevious_ = false;
    // A window's sum of squares runs over four hops of binCount()/2 samples.
    // While the window slides by one hop per call, partial_[j] is the running
    // sum over the last 3 − j hops: the start of the sum of the window j + 1
    // calls ahead, valid_ where every one of those hops was seen.
    float partial_[3] = {0.0f, 0.0f, 0.0f};
    bool valid_[3] = {false, false, false};
    float lastSquares_ = 0.0f;
    bool haveSquares_ = false;
};
