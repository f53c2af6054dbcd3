#include "korvala/store/DSPStore.h"

#include "korvala/record/FrequencyBands.h"

#include <algorithm>
#include <stdexcept>

namespace {
constexpr unsigned long kHistoryLength = 173;
constexpr unsigned long kBandHistoryLength = 1024;
constexpr std::size_t kSpectrumLength = 1024;
constexpr std::size_t kWaveformLength = 2048;
} // namespace

DSPStore::DSPStore() : persistentData_(std::make_unique<KorPersistentData>()) {
    KorPersistentData& data = *persistentData_;
    for (AudioFeature feature :
         {AudioFeature::VU, AudioFeature::VUAlt, AudioFeature::BassVU, AudioFeature::MidVU,
          AudioFeature::MidHighVU, AudioFeature::UpperMidVU, AudioFeature::HighVU,
          AudioFeature::RMS, AudioFeature::SpectralFlux, AudioFeature::HFC}) {
        data.addDimension1D(feature, new DimensionStore1D(kHistoryLength));
    }
    data.addDimension2D(
        AudioFeature::LogBandedFFT,
        new DimensionStore2D(kor::FrequencyBands::logScaleBPMBands.size(), kBandHistoryLength));
    data.addScalarDimension(AudioFeature::BPM);
    data.addScalarDimension(AudioFeature::BPMConfidence);
    data.addDimension1DNoAnalysis(AudioFeature::FFTPower,
                                  new std::vector<float>(kSpectrumLength, 0.0f));
    data.addDimension1DNoAnalysis(
        AudioFeature::MiniLogBandedFFT,
        new std::vector<float>(kor::FrequencyBands::miniLogScaleFFTBands.size(), 0.0f));
    data.addDimension1DNoAnalysis(AudioFeature::Waveform,
                                  new std::vector<float>(kWaveformLength, 0.0f));
}

void DSPStore::add(KorDSPData& record) {
    KorPersistentData& data = *persistentData_;
    const KorAlgosOut& algos = record.getAlgosOut();

    addToSubStore(data.getDimension1D(AudioFeature::VU), algos.vu);
    addToSubStore(data.getDimension1D(AudioFeature::VUAlt), algos.vu);
    addToSubStore(data.getDimension1D(AudioFeature::BassVU), algos.bassVU);
    addToSubStore(data.getDimension1D(AudioFeature::MidVU), algos.midVU);
    addToSubStore(data.getDimension1D(AudioFeature::MidHighVU), algos.midHighVU);
    addToSubStore(data.getDimension1D(AudioFeature::UpperMidVU), algos.upperMidVU);
    addToSubStore(data.getDimension1D(AudioFeature::HighVU), algos.highVU);
    addToSubStore(data.getDimension1D(AudioFeature::RMS), algos.rms);
    addToSubStore(data.getDimension1D(AudioFeature::SpectralFlux), algos.spectralFlux);
    addToSubStore(data.getDimension1D(AudioFeature::HFC), algos.hfc);

    // Straight from the record: the by-value overload would copy the levels.
    data.getDimension2D(AudioFeature::LogBandedFFT)
        ->add(algos.logBandedFFTVUs.data(), algos.logBandedFFTVUs.size());

    addToSubStore(data.getScalarDimension(AudioFeature::BPM), algos.bpm);
    addToSubStore(data.getScalarDimension(AudioFeature::BPMConfidence), algos.bpmConfidence);

    addToSubStore(data.get1DNoAnalysis(AudioFeature::FFTPower),
                  record.getFFTOut().squaredMagnitudes);
    addToSubStore(data.get1DNoAnalysis(AudioFeature::MiniLogBandedFFT), algos.miniLogBandedFFT);
    addToSubStore(data.get1DNoAnalysis(AudioFeature::Waveform), record.channelBuffer());
}

void DSPStore::addToSubStore(DimensionStore1D* store, float value) {
    store->add(value);
}

void DSPStore::addToSubStore(DimensionStore2D* store, std::vector<float> values) {
    store->add(std::move(values));
}

void DSPStore::addToSubStore(float& scalar, float value) {
    scalar = value;
}

void DSPStore::addToSubStore(std::vector<float>* store, const std::vector<float>& values) {
    // One block copy; a longer source still fills the store before it throws.
    const std::size_t n = std::min(values.size(), store->size());
    std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n), store->begin());
    if (values.size() > store->size()) {
        throw std::out_of_range("DSPStore::addToSubStore: more values than the store holds");
    }
}
