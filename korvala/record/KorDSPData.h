#pragma once

#include "korvala/record/KorDSPOut.h"

#include <vector>

/// The per-block analysis record: spectra, algorithm results and the
/// unwindowed analysis window. Reused for every block; never cleared.
class KorDSPData {
public:
    KorDSPData() = default;
    KorDSPData(const KorDSPData&) = default;
    KorDSPData& operator=(const KorDSPData&) = default;

    KorDSPOut& dspOut() { return out_; }
    KorFFTOut& getFFTOut() { return out_.fftOut; }
    KorAlgosOut& getAlgosOut() { return out_.algosOut; }
    std::vector<float>& channelBuffer() { return channelBuffer_; }

    const KorFFTOut& getFFTOut() const { return out_.fftOut; }
    const KorAlgosOut& getAlgosOut() const { return out_.algosOut; }
    const std::vector<float>& channelBuffer() const { return channelBuffer_; }

    void setFFTOut(KorFFTOut out) { out_.fftOut = std::move(out); }
    void setLogBandedFFTVUs(std::vector<float> levels) {
        out_.algosOut.logBandedFFTVUs = std::move(levels);
    }
    void setMiniLogBandedFFT(std::vector<float> levels) {
        out_.algosOut.miniLogBandedFFT = std::move(levels);
    }

private:
    KorDSPOut out_;
    std::vector<float> channelBuffer_;
};
