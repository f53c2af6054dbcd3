#include "korvala/dsp/Engine.h"

#include "korvala/dsp/Algorithm_Centroid.h"
#include "korvala/dsp/Algorithm_DominantFrequencies.h"
#include "korvala/dsp/Algorithm_HFC.h"
#include "korvala/dsp/Algorithm_RMS.h"
#include "korvala/dsp/Algorithm_VU.h"
#include "korvala/dsp/Algorithm_VUBP.h"
#include "korvala/dsp/FrequencyBands.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

Engine::Engine() : dominantFrequencyCount(3.0f) {
    fftManager = std::make_unique<FFTManager>(static_cast<unsigned int>(kWindowSize));
    fftManager->setFilter(WindowingFunction::Blackman);
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
}

namespace {
// One band level per table entry, written straight into the record's vector
// (its storage is reused from block to block).
void bandLevels(const std::vector<float>& power, const std::vector<Band>& bands,
                std::vector<float>& levels) {
    levels.assign(bands.size(), 0.0f);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        levels[i] =
            Algorithm_VUBP::compute(power.data(), power.size(), bands[i], Engine::kSampleRate);
    }
}
} // namespace

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
    fftManager->transform(shortTimeBuffer, record);

    // The algorithms read the stage's vectors in place: none of them modifies
    // its input, so this gives the results of handing each one its own copy.
    const std::vector<float>& real = fftManager->getReal();
    const std::vector<float>& magnitudes = fftManager->getMagnitudes();
    const std::vector<float>& power = fftManager->getSquaredMagnitudes();
    KorAlgosOut& out = record->getAlgosOut();

    Algorithm_DominantFrequencies::compute(
        real.data(), real.size(), magnitudes.data(), magnitudes.size(),
        static_cast<int>(dominantFrequencyCount), kSampleRate, 0.0f, out.dominantFrequencies);
    out.centroid = Algorithm_Centroid::compute(magnitudes.data(), magnitudes.size(), kSampleRate);
    out.vu = Algorithm_VU::compute(shortTimeBuffer.data(), shortTimeBuffer.size());
    out.rms = Algorithm_RMS::compute(shortTimeBuffer.data(), shortTimeBuffer.size());
    out.spectralFlux = fluxAlgorithm.compute(magnitudes.data(), magnitudes.size());
    out.hfc = Algorithm_HFC::compute(magnitudes.data(), magnitudes.size(), kSampleRate);

    // The 2000–4000 band overlaps 1000–4000; the order is that of the record.
    out.bassVU = Algorithm_VUBP::compute(power.data(), power.size(), {0, 250}, kSampleRate);
    out.midVU = Algorithm_VUBP::compute(power.data(), power.size(), {250, 1000}, kSampleRate);
    out.midHighVU = Algorithm_VUBP::compute(power.data(), power.size(), {1000, 4000}, kSampleRate);
    out.upperMidVU = Algorithm_VUBP::compute(power.data(), power.size(), {2000, 4000}, kSampleRate);
    out.highVU = Algorithm_VUBP::compute(power.data(), power.size(), {4000, 22050}, kSampleRate);

    bandLevels(power, kor::FrequencyBands::logScaleBPMBands, out.logBandedFFTVUs);
    bandLevels(power, kor::FrequencyBands::miniLogScaleFFTBands, out.miniLogBandedFFT);

    // The band history still ends with the previous block: the store appends
    // this block's levels after run returns.
    bpmAlgorithm.transform(persistentData->getDimension2D(AudioFeature::LogBandedFFT), record);
}
