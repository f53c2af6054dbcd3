#include "korvala/dsp/features/BlockPass.h"

#include "korvala/record/FrequencyBands.h"

#include <cmath>

namespace {
// Every band level the record holds, in one list: bass, mid, mid-high,
// upper-mid (2000–4000 overlaps 1000–4000) and high, then the tempo bands,
// then the display bands.
constexpr std::size_t kNamedBands = 5;

std::vector<Band> allBands() {
    std::vector<Band> bands = {{0, 250}, {250, 1000}, {1000, 4000}, {2000, 4000}, {4000, 22050}};
    const auto& tempo = kor::FrequencyBands::logScaleBPMBands;
    const auto& display = kor::FrequencyBands::miniLogScaleFFTBands;
    bands.insert(bands.end(), tempo.begin(), tempo.end());
    bands.insert(bands.end(), display.begin(), display.end());
    return bands;
}
} // namespace

BlockPass::BlockPass(std::size_t bins, float sampleRate)
    : features_(bins, sampleRate), bands_(allBands(), bins, sampleRate),
      levels_(bands_.bandCount(), 0.0f) {}

void BlockPass::run(const float* samples, std::size_t added, const KorFFTOut& spectrum,
                    KorAlgosOut& out) {
    const float* power = spectrum.squaredMagnitudes.data();
    // The band sums run in the same pass as the block features.
    const BlockFeatures::Values v =
        features_.compute(samples, spectrum.magnitudes.data(), added, &bands_, power);
    // A window without spectral energy (silence) has no centroid: 0/0 would
    // hand the host NaN. The record holds 0 instead, as the histories do for
    // any non-finite feature.
    out.centroid = std::isfinite(v.centroid) ? v.centroid : 0.0f;
    out.vu = v.vu;
    out.rms = v.rms;
    out.spectralFlux = v.spectralFlux;
    out.hfc = v.hfc;

    bands_.levelsFromSums(power, levels_.data());
    out.bassVU = levels_[0];
    out.midVU = levels_[1];
    out.midHighVU = levels_[2];
    out.upperMidVU = levels_[3];
    out.highVU = levels_[4];
    // The record's vectors keep their storage from block to block.
    const auto tempoBegin = levels_.begin() + static_cast<std::ptrdiff_t>(kNamedBands);
    const auto tempoEnd =
        tempoBegin + static_cast<std::ptrdiff_t>(kor::FrequencyBands::logScaleBPMBands.size());
    out.logBandedFFTVUs.assign(tempoBegin, tempoEnd);
    out.miniLogBandedFFT.assign(tempoEnd, levels_.end());
}
