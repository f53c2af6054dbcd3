// Per-frame cost of each vector component's update on its own, against a store
// holding a fixed, busy-looking spectrum, band set and waveform. Run with
// repetitions to read the median: --benchmark_repetitions=9.

#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"
#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"
#include "korvala/components/spectral/TimeSeries2DComponent.h"
#include "korvala/components/spectral/Waveform2DComponent.h"
#include "korvala/store/DSPStore.h"
#include "tests/support/Signals.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A store whose plain vectors look like one block of music: powers spread over
// 80 dB, band levels over 70 dB, a noisy waveform, and a level history.
struct BusyStore {
    DSPStore store;
    AudioComponentDataLayer layer{&store};

    BusyStore() {
        KorPersistentData& data = *store.getPersistentData();
        const std::vector<float> powerDb = korvala::test::uniformValues(1024, -70.0f, 10.0f, 3);
        std::vector<float>& power = *data.get1DNoAnalysis(AudioFeature::FFTPower);
        for (std::size_t i = 0; i < power.size(); ++i) {
            power[i] = std::pow(10.0f, powerDb[i] / 10.0f);
        }
        const std::vector<float> bandDb = korvala::test::uniformValues(35, -60.0f, 10.0f, 4);
        std::vector<float>& bands = *data.get1DNoAnalysis(AudioFeature::MiniLogBandedFFT);
        for (std::size_t j = 0; j < bands.size(); ++j) {
            bands[j] = std::pow(10.0f, bandDb[j] / 10.0f);
        }
        *data.get1DNoAnalysis(AudioFeature::Waveform) =
            korvala::test::uniformValues(2048, -0.8f, 0.8f, 5);
        for (float v : korvala::test::uniformValues(173, 0.0f, 0.5f, 6)) {
            data.getDimension1D(AudioFeature::VU)->add(v);
        }
    }
};

template <typename Component, typename... Args>
void updateOnly(benchmark::State& state, float reactivity, Args... args) {
    BusyStore busy;
    Component component(args...);
    UserInputs inputs;
    inputs.reactivity = reactivity;
    for (auto _ : state) {
        benchmark::DoNotOptimize(component.update(&busy.layer, 1.0f / 60.0f, inputs));
        benchmark::ClobberMemory();
    }
}

void BM_Spectrum(benchmark::State& s) {
    updateOnly<Korvala::Spectrum2DComponent>(s, 0.75f);
}
void BM_SpectrumJuiced(benchmark::State& s) {
    updateOnly<Korvala::SpectrumJuiced2DComponent>(s, 0.75f);
}
void BM_SpectrumSmooth(benchmark::State& s) {
    updateOnly<Korvala::SmootherSpectrum2DComponent>(s, 0.5f);
}
void BM_Waveform(benchmark::State& s) {
    updateOnly<Korvala::Waveform2DComponent>(s, 0.5f);
}
void BM_TimeSeries(benchmark::State& s) {
    updateOnly<Korvala::TimeSeries2DComponent>(s, 0.5f, AudioFeature::VU);
}

} // namespace

BENCHMARK(BM_Spectrum)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_SpectrumJuiced)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_SpectrumSmooth)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Waveform)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_TimeSeries)->Repetitions(9)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
