#pragma once

#include "korvala/dsp/fft/Ephemeral.h"
#include "korvala/dsp/fft/FFTWindow.h"
#include "korvala/dsp/fft/RealFFT.h"
#include "korvala/record/KorDSPData.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The FFT stage: windows N real samples and produces N/2 bins of the
/// conjugated DFT divided by sqrt(N), with the imaginary part of bin 0 zeroed
/// and the Nyquist bin dropped, plus magnitude, power and phase per bin.
/// Every buffer is allocated in the constructor.
class FFTManager : private Transformer::Ephemeral {
public:
    /// N must be a power of two ≥ 2. Starts with the Blackman window.
    explicit FFTManager(unsigned int n);
    virtual ~FFTManager();
    FFTManager(const FFTManager&) = delete;
    FFTManager& operator=(const FFTManager&) = delete;

    /// Selects the window for the following transforms.
    void setFilter(WindowingFunction type);

    /// With `onRequest` set, transform leaves the record's phases untouched and
    /// computes the stage's own phases only when they are first read.
    void setPhasesOnRequest(bool onRequest) { phasesOnRequest = onRequest; }
    /// The phase of each of `n` bins, atan2(im, re), exactly as the stage computes it.
    static void computePhases(const float* re, const float* im, float* out, std::uint32_t n);

    /// Analyses exactly N samples: the record receives the unwindowed samples as
    /// its channel buffer and the five spectra; the member vectors are refreshed.
    /// Any other input length raises std::invalid_argument.
    virtual void transform(const std::vector<float>& input, KorDSPData* record);

    /// Runs processSamples on `buffer` (N values, windowed in place) and returns
    /// a copy of the five spectra.
    KorFFTOut getFFTData(float* buffer);
    /// Window, FFT, fix-up and scaling of `buffer` (N values, modified in place),
    /// then magnitude, power and phase of every bin.
    void processSamples(float* buffer);
    /// Scales real and imaginary parts by 1 / (2·sqrt(N)).
    void normalize();
    /// Applies the window to `buffer` in place.
    void multiplyByFilter(float* buffer);
    /// Copies the five bin arrays into the member vectors.
    void populateVectors();

    /// Like processSamples on a copy of `input` (N values), skipping the phases
    /// when `withPhase` is false. Leaves the member vectors alone; read the
    /// results through the array accessors below.
    void analyse(const float* input, bool withPhase);
    /// Like analyse without phases, but fills only the real, imaginary and
    /// power arrays: the magnitude and phase arrays keep older values.
    void analysePower(const float* input);

    unsigned int size() const { return 2u * bins; }
    unsigned int binCount() const { return bins; }

    /// The latest spectrum (N/2 values each), as refreshed by transform (copied
    /// from the bin arrays on the first read after it).
    const std::vector<float>& getReal() const;
    const std::vector<float>& getImag() const;
    const std::vector<float>& getMagnitudes() const;
    const std::vector<float>& getSquaredMagnitudes() const;
    const std::vector<float>& getPhases() const;

    /// The bin arrays of the latest processSamples/analyse (N/2 values each).
    const float* realData() const { return real.get(); }
    const float* imagData() const { return imag.get(); }
    const float* magnitudeData() const { return magnitude.get(); }
    const float* powerData() const { return power.get(); }
    const float* phaseData() const;

    const FFTWindow& getWindow() const { return *window; }

private:
    /// FFT of `buffer` (N windowed values), fix-up, scaling, power, then
    /// magnitude and phase where asked for.
    void spectrumFromWindowed(float* buffer, bool withMagnitude, bool withPhase);
    float normalizationScale() const;
    void keepVectors();
    void refreshVectors() const;
    void fillVectors() const;
    void completePhases() const;

    std::uint32_t log2N;
    std::uint32_t bins;
    std::unique_ptr<kor::RealFFT> fft;
    // real and imag hold N/2 + 1 values: the transform writes the Nyquist
    // term into the last one, which is then ignored.
    std::unique_ptr<float[]> real;
    std::unique_ptr<float[]> imag;
    std::unique_ptr<float[]> magnitude;
    std::unique_ptr<float[]> power;
    std::unique_ptr<float[]> phase;
    std::unique_ptr<float[]> samples;
    std::unique_ptr<FFTWindow> window;
    // Copies of the last transform's bins, filled on first read.
    mutable std::vector<float> realVector;
    mutable std::vector<float> imagVector;
    mutable std::vector<float> magnitudeVector;
    mutable std::vector<float> powerVector;
    mutable std::vector<float> phaseVector;
    // transform has run since the member vectors were last filled.
    mutable bool vectorsPending = false;
    bool phasesOnRequest = false;
    // The phase array lags behind the latest transform.
    mutable bool phasesPending = false;
};
