#pragma once

#include <cstdint>

/// The sixteen feature channels of the store, each with one kind of store.
enum class AudioFeature : std::int32_t {
    VU = 0,
    VUAlt = 1,
    BassVU = 2,
    MidHighVU = 3,
    UpperMidVU = 4,
    MidVU = 5,
    HighVU = 6,
    RMS = 7,
    HFC = 8,
    SpectralFlux = 9,
    LogBandedFFT = 10,
    BPM = 11,
    BPMConfidence = 12,
    FFTPower = 13,
    MiniLogBandedFFT = 14,
    Waveform = 15,
};
