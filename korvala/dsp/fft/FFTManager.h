#pragma once

#include "korvala/dsp/fft/Ephemeral.h"
#include "korvala/dsp/fft/WindowingFunction.h"
#include "korvala/record/KorDSPData.h"

#include <memory>
#include <vector>

class SpectrumStage;

/// The FFT stage as a host sees it: windows N real samples and produces N/2
/// bins of the conjugated DFT divided by sqrt(N), with the imaginary part of
/// bin 0 zeroed and the Nyquist bin dropped, plus magnitude, power and phase
/// per bin. A thin face over the internal stage the analysis itself runs, so
/// both give the same bits. Every buffer is allocated in the constructor.
class FFTManager : private Transformer::Ephemeral {
public:
    /// N must be a power of two ≥ 2. Starts with the Blackman window.
    explicit FFTManager(unsigned int n);
    virtual ~FFTManager();
    FFTManager(const FFTManager&) = delete;
    FFTManager& operator=(const FFTManager&) = delete;

    /// Selects the window for the following transforms.
    void setFilter(WindowingFunction type);

    /// Analyses exactly N samples: the record (if any) receives the unwindowed
    /// samples as its channel buffer and the five spectra, then populateVectors
    /// runs. Any other input length raises std::invalid_argument.
    virtual void transform(const std::vector<float>& input, KorDSPData* record);

    /// Runs processSamples on `buffer` (N values, windowed in place) and returns
    /// a copy of the five bin arrays.
    KorFFTOut getFFTData(float* buffer);
    /// Fills the five bin arrays from `buffer` (N values), which ends windowed.
    void processSamples(float* buffer);
    /// Scales the real and imaginary bin arrays by 1 / (2·sqrt(N)) once more.
    void normalize();
    /// Applies the window to `buffer` (N values) in place.
    void multiplyByFilter(float* buffer);
    /// Copies the five bin arrays into the member vectors.
    void populateVectors();

    /// The five bin arrays of the latest processSamples or transform.
    const KorFFTOut& binArrays() const { return bins_; }
    /// The member vectors: the bin arrays as of the latest populateVectors.
    const KorFFTOut& vectors() const { return vectors_; }

private:
    /// The five bin arrays of N samples (left unchanged).
    void fillBins(const float* samples);

    std::unique_ptr<SpectrumStage> stage_;
    KorFFTOut bins_;
    KorFFTOut vectors_;
};
