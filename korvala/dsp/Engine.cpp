#include "korvala/dsp/Engine.h"

#include "korvala/dsp/features/Algorithm_DominantFrequencies.h"
#include "korvala/record/FrequencyBands.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
// Every band level the record holds, in one list: bass, mid, mid-high,
// upper-mid (2000–4000 overlaps 1000–4000) and high, then the tempo bands,
// then the display bands.
std::vector<Band> allBands() {
    std::vector<Band> bands = {{0, 250}, {250, 1000}, {1000, 4000}, {2000, 4000}, {4000, 22050}};
    const auto& tempo = kor::FrequencyBands::logScaleBPMBands;
    const auto& display = kor::FrequencyBands::miniLogScaleFFTBands;
    bands.insert(bands.end(), tempo.begin(), tempo.end());
    bands.insert(bands.end(), display.begin(), display.end());
    return bands;
}
constexpr std::size_t kNamedBands = 5;
} // namespace

Engine::Engine()
    : spectrum(kWindowSize), features(kWindowSize / 2, kSampleRate),
      bandLevels(allBands(), kWindowSize / 2, kSampleRate), levels(bandLevels.bandCount(), 0.0f),
      dominantFrequencyCount(3.0f) {
    spectrum.setWindow(WindowingFunction::Blackman);
    shortTimeBuffer.assign(kWindowSize, 0.0f);
    bpmAlgorithm.setDecimation(12.0f);
}

Engine::~Engine() = default;

void Engine::updateShortTimeBuffer(const std::vector<float>& block) {
    const std::size_t n = block.size();
    if (n > kWindowSize) {
        throw std::out_of_range("Engine: a block may hold at most 2048 samples");
    }
    std::copy(shortTimeBuffer.begin() + static_cast<std::ptrdiff_t>(n), shortTimeBuffer.end(),
              shortTimeBuffer.begin());
    // A broken driver's NaN, infinity or absurd value (beyond kSampleLimit)
    // would reach every spectrum, level and running statistic: it enters the
    // window as silence, so a burst of garbage is heard as a gap and the
    // analysis is back to normal as soon as real audio resumes. Real signals
    // lie far inside the limit and pass unchanged.
    float* tail = shortTimeBuffer.data() + (kWindowSize - n);
    for (std::size_t i = 0; i < n; ++i) {
        const float s = block[i];
        tail[i] = (s >= -kSampleLimit && s <= kSampleLimit) ? s : 0.0f;
    }
    slidSinceFeatures = std::min(slidSinceFeatures + n, kWindowSize);
}

void Engine::run(const std::vector<float>& block, KorDSPData* record) {
    if (record == nullptr) {
        return;
    }
    // Without the feature map the tempo step would dereference null; refuse
    // before anything changes.
    if (persistentData == nullptr) {
        throw std::logic_error("Engine::run: setPersistentDataContainer was not called");
    }
    updateShortTimeBuffer(block);
    record->channelBuffer().assign(shortTimeBuffer.begin(), shortTimeBuffer.end());
    // The stage writes straight into the record, whose vectors keep their
    // storage from block to block.
    KorFFTOut& bins = record->getFFTOut();
    for (std::vector<float>* v :
         {&bins.real, &bins.imag, &bins.magnitudes, &bins.squaredMagnitudes}) {
        v->resize(spectrum.bins());
    }
    spectrum.run(shortTimeBuffer.data(), bins.real.data(), bins.imag.data(),
                 bins.squaredMagnitudes.data(), bins.magnitudes.data());
    phasesPending = true;

    // The algorithms read the record's spectrum in place: none of them
    // modifies its input, so this gives the results of handing each one its
    // own copy.
    const std::vector<float>& real = bins.real;
    const std::vector<float>& magnitudes = bins.magnitudes;
    const std::vector<float>& power = bins.squaredMagnitudes;
    KorAlgosOut& out = record->getAlgosOut();

    Algorithm_DominantFrequencies::compute(
        real.data(), real.size(), magnitudes.data(), magnitudes.size(),
        static_cast<int>(dominantFrequencyCount), kSampleRate, 0.0f, out.dominantFrequencies);
    // The band sums run in the same pass as the block features.
    const BlockFeatures::Values v = features.compute(shortTimeBuffer.data(), magnitudes.data(),
                                                     slidSinceFeatures, &bandLevels, power.data());
    slidSinceFeatures = 0;
    // A window without spectral energy (silence) has no centroid and no
    // dominant frequency: 0/0 would hand the host NaN. The record holds 0
    // instead, as the histories do for any non-finite feature.
    for (float& f : out.dominantFrequencies) {
        f = std::isfinite(f) ? f : 0.0f;
    }
    out.centroid = std::isfinite(v.centroid) ? v.centroid : 0.0f;
    out.vu = v.vu;
    out.rms = v.rms;
    out.spectralFlux = v.spectralFlux;
    out.hfc = v.hfc;

    bandLevels.levelsFromSums(power.data(), levels.data());
    out.bassVU = levels[0];
    out.midVU = levels[1];
    out.midHighVU = levels[2];
    out.upperMidVU = levels[3];
    out.highVU = levels[4];
    // The record's vectors keep their storage from block to block.
    const auto tempoEnd =
        levels.begin() +
        static_cast<std::ptrdiff_t>(kNamedBands + kor::FrequencyBands::logScaleBPMBands.size());
    out.logBandedFFTVUs.assign(levels.begin() + static_cast<std::ptrdiff_t>(kNamedBands), tempoEnd);
    out.miniLogBandedFFT.assign(tempoEnd, levels.end());

    // The band history still ends with the previous block: the store appends
    // this block's levels after run returns.
    bpmAlgorithm.transform(persistentData->getDimension2D(AudioFeature::LogBandedFFT), record);
}

void Engine::completePhases(KorDSPData& record) {
    if (!phasesPending) {
        return;
    }
    phasesPending = false;
    KorFFTOut& bins = record.getFFTOut();
    bins.phases.resize(bins.real.size());
    SpectrumStage::phases(bins.real.data(), bins.imag.data(), bins.phases.data(), bins.real.size());
}
