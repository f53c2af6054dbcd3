// Per-frame cost of each vector component's update on its own, against a store
// holding a fixed, busy-looking spectrum, band set and waveform. Run with
// repetitions to read the median: --benchmark_repetitions=9.

#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"
#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"
#include "korvala/components/spectral/TimeSeries2DComponent.h"
#include "korvala/components/spectral/Waveform2DComponent.h"
#include "tests/support/StoreRig.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

template <typename Component, typename... Args>
void updateOnly(benchmark::State& state, float reactivity, Args... args) {
    korvala::test::StoreRig busy;
    busy.fillBusy();
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
