// Per-frame cost of AudioEngine::update(1/60) with the full catalogue on live
// data: one block of music is analysed between frames (not timed), then one
// frame is timed. The vector components are also timed alone on the same live
// records. Run with --benchmark_filter=Update to see only these.
#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"
#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"
#include "korvala/components/spectral/Waveform2DComponent.h"
#include "korvala/engine/AudioEngine.h"
#include "korvala/store/DSPStore.h"
#include "tests/support/Signals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {
constexpr std::size_t kBlock = 512;
constexpr float kFrame = 1.0f / 60.0f;

// A frame takes microseconds: the thread CPU clock costs a system call per
// reading, the steady clock does not. Read median_ns (the median frame): on a
// shared machine the mean counts the frames another process interrupted.
double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// An engine that has analysed a few seconds of music and keeps going one
// block per frame.
struct LiveEngine {
    std::unique_ptr<Korvala::AudioEngine> engine = std::make_unique<Korvala::AudioEngine>();
    std::vector<std::vector<float>> music =
        korvala::test::blocks(korvala::test::kickHatPattern(128.0, 14.0), kBlock);
    std::size_t next = 0;

    LiveEngine() {
        engine->setReactivityUserInput(0.75f);
        for (int i = 0; i < 400; ++i) {
            push();
            engine->update(kFrame);
        }
    }
    void push() {
        engine->processAudio(music[next]);
        next = (next + 1) % music.size();
    }
};

// Reports the median frame in ns as the counter median_ns.
void reportMedian(benchmark::State& state, std::vector<double>& frames) {
    if (frames.empty()) {
        return;
    }
    auto middle = frames.begin() + static_cast<std::ptrdiff_t>(frames.size() / 2);
    std::nth_element(frames.begin(), middle, frames.end());
    state.counters["median_ns"] = *middle * 1e9;
}

void BM_UpdateEngineFrame(benchmark::State& state) {
    LiveEngine live;
    std::vector<double> frames;
    for (auto _ : state) {
        live.push();
        const double start = nowSeconds();
        live.engine->update(kFrame);
        const double stop = nowSeconds();
        state.SetIterationTime(stop - start);
        frames.push_back(stop - start);
    }
    reportMedian(state, frames);
}

// One vector component alone, fed every block's record from the live engine.
template <typename Component> void updateAlone(benchmark::State& state, float reactivity) {
    LiveEngine live;
    DSPStore store;
    AudioComponentDataLayer layer(&store);
    Component component;
    UserInputs inputs;
    inputs.reactivity = reactivity;
    std::vector<double> frames;
    for (auto _ : state) {
        live.push();
        KorDSPData record = live.engine->getAnalysisRecord();
        store.add(record);
        const double start = nowSeconds();
        benchmark::DoNotOptimize(component.update(&layer, kFrame, inputs));
        const double stop = nowSeconds();
        state.SetIterationTime(stop - start);
        frames.push_back(stop - start);
    }
    reportMedian(state, frames);
}

void BM_UpdateSpectrum(benchmark::State& s) {
    updateAlone<Korvala::Spectrum2DComponent>(s, 0.75f);
}
void BM_UpdateSpectrumJuiced(benchmark::State& s) {
    updateAlone<Korvala::SpectrumJuiced2DComponent>(s, 0.75f);
}
void BM_UpdateSpectrumSmooth(benchmark::State& s) {
    updateAlone<Korvala::SmootherSpectrum2DComponent>(s, 0.75f);
}
void BM_UpdateWaveform(benchmark::State& s) {
    updateAlone<Korvala::Waveform2DComponent>(s, 0.75f);
}

} // namespace

BENCHMARK(BM_UpdateEngineFrame)
    ->UseManualTime()
    ->Iterations(2000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kNanosecond);
BENCHMARK(BM_UpdateSpectrum)
    ->UseManualTime()
    ->Iterations(2000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_UpdateSpectrumJuiced)
    ->UseManualTime()
    ->Iterations(2000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_UpdateSpectrumSmooth)
    ->UseManualTime()
    ->Iterations(2000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_UpdateWaveform)
    ->UseManualTime()
    ->Iterations(2000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
