#include "korvala/dsp/Engine.h"

#include "korvala/dsp/features/Algorithm_DominantFrequencies.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
// The strongest frequencies of the spectrum. A window without spectral energy
// (silence) has no dominant frequency: 0/0 would hand the host NaN, so the
// record holds 0 instead, as the histories do for any non-finite feature.
void dominantFrequencies(const KorFFTOut& spectrum, int count, float sampleRate,
                         std::vector<float>& out) {
    Algorithm_DominantFrequencies::compute(spectrum.real.data(), spectrum.real.size(),
                                           spectrum.magnitudes.data(), spectrum.magnitudes.size(),
                                           count, sampleRate, 0.0f, out);
    for (float& f : out) {
        f = std::isfinite(f) ? f : 0.0f;
    }
}
} // namespace

Engine::Engine()
    : spectrum(kWindowSize), blockPass(kWindowSize / 2, kSampleRate), dominantFrequencyCount(3.0f) {
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
    // The steps below read the record's spectrum in place; none modifies it.
    KorFFTOut& bins = record->getFFTOut();
    spectrumInto(bins);
    KorAlgosOut& out = record->getAlgosOut();
    dominantFrequencies(bins, static_cast<int>(dominantFrequencyCount), kSampleRate,
                        out.dominantFrequencies);
    blockPass.run(shortTimeBuffer.data(), slidSinceFeatures, bins, out);
    slidSinceFeatures = 0;
    // The band history still ends with the previous block: the store appends
    // this block's levels after run returns.
    bpmAlgorithm.transform(persistentData->getDimension2D(AudioFeature::LogBandedFFT), record);
}

void Engine::spectrumInto(KorFFTOut& bins) {
    // Written straight into the record, whose vectors keep their storage from
    // block to block; the phases wait for completePhases.
    for (std::vector<float>* v :
         {&bins.real, &bins.imag, &bins.magnitudes, &bins.squaredMagnitudes}) {
        v->resize(spectrum.bins());
    }
    spectrum.run(shortTimeBuffer.data(), bins.real.data(), bins.imag.data(),
                 bins.squaredMagnitudes.data(), bins.magnitudes.data());
    phasesPending = true;
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
