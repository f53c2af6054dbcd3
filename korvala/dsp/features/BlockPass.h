#pragma once

#include "korvala/dsp/features/BandLevels.h"
#include "korvala/dsp/features/BlockFeatures.h"
#include "korvala/record/KorAlgosOut.h"
#include "korvala/record/KorFFTOut.h"

#include <cstddef>
#include <vector>

/// Every per-block feature but the tempo and the dominant frequencies, in one
/// pass over the window and the spectrum: peak, RMS, centroid, high-frequency
/// content, spectral flux, and the level of every band the record holds (the
/// five named bands, the 22 tempo bands, the 35 display bands), each bit for
/// bit the value of its own algorithm. Internal, not installed.
class BlockPass {
public:
    /// For spectra of `bins` values over windows of 2·bins samples.
    BlockPass(std::size_t bins, float sampleRate);

    /// `samples` is the window (2·bins values), slid by `added` samples since
    /// the last call (see BlockFeatures::compute); `spectrum` holds its
    /// magnitudes and squared magnitudes. Writes vu, rms, centroid, hfc,
    /// spectralFlux, the five named band levels, logBandedFFTVUs and
    /// miniLogBandedFFT into `out`. Allocates nothing once `out` has its sizes.
    void run(const float* samples, std::size_t added, const KorFFTOut& spectrum, KorAlgosOut& out);

private:
    BlockFeatures features_;
    BandLevels bands_;
    std::vector<float> levels_; // one per band, in the order of bands_
};
