#pragma once

#include "korvala/dsp/fft/FFTWindow.h"
#include "korvala/dsp/fft/RealFFT.h"

#include <cstddef>
#include <vector>

/// The one FFT stage behind FFTManager, the analysis driver and the tempo
/// tracker: windows N real samples, runs the real FFT and turns its output into
/// N/2 bins of the conjugated DFT divided by sqrt(N), imaginary part of bin 0
/// zeroed and Nyquist bin dropped, with their power and magnitude. It keeps no
/// spectrum: every call writes into arrays the caller owns. Internal, not installed.
class SpectrumStage {
public:
    /// N must be a power of two ≥ 2 (std::invalid_argument otherwise). Starts
    /// with the Blackman window; allocates every work buffer here.
    explicit SpectrumStage(std::size_t n);

    std::size_t size() const { return 2 * bins_; }
    std::size_t bins() const { return bins_; }

    /// Selects the window for the following calls.
    void setWindow(WindowingFunction type) { window_.set_windowing_function(type); }
    const FFTWindow& window() const { return window_; }
    /// 1 / (2·sqrt(N)), N formed as a float and rooted in single precision.
    float scale() const;

    /// Analyses N samples of `input` (left unchanged): writes bins() values to
    /// each of `real`, `imag` and `power`, and to `magnitude` unless it is null.
    /// Allocates nothing.
    void run(const float* input, float* real, float* imag, float* power, float* magnitude);

    /// The phase atan2(im, re) of each of `n` bins, within 1 ulp of the exact angle.
    static void phases(const float* re, const float* im, float* out, std::size_t n);

private:
    std::size_t bins_;
    kor::RealFFT fft_;
    FFTWindow window_;
    // Work buffers: the windowed samples, and the transform's N/2 + 1 values
    // (the last one, the Nyquist term, is ignored).
    std::vector<float> windowed_;
    std::vector<float> re_;
    std::vector<float> im_;
};
