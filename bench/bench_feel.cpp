// Cost of the opt-in felt-tempo layer (felt tempo, music gate, beat
// prediction) per block, beside processAudio's in the same run.
#include "korvala/engine/AudioEngine.h"
#include "korvala/feel/FeltTempo.h"
#include "korvala/record/KorDSPData.h"
#include "tests/support/Signals.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

using namespace korvala::test;

namespace {
constexpr std::size_t kBlock = 512;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Each iteration: 1032 blocks of music through a plain engine (timed), then
// the same blocks' records through the layer, with one frame per block (timed
// apart). Counters: microseconds per block of each, and the layer's share.
void BM_FeltTempoBesideProcessAudio(benchmark::State& state) {
    auto music = blocks(kickHatPattern(128.0, 14.0), kBlock);
    Korvala::AudioEngine engine;
    Korvala::AudioEngine observed;
    Korvala::FeltTempo feel(observed, Korvala::FeltTempo::Options{});
    std::vector<KorAlgosOut> records;
    records.reserve(1032);
    double engineSeconds = 0.0;
    double layerSeconds = 0.0;
    std::size_t blocksDone = 0;
    for (auto _ : state) {
        records.clear();
        for (std::size_t i = 0; i < 1032; ++i) {
            auto& block = music[i % music.size()];
            const double start = cpuSeconds();
            engine.processAudio(block);
            engineSeconds += cpuSeconds() - start;
            records.push_back(engine.getAnalysisRecord().getAlgosOut());
        }
        const double start = cpuSeconds();
        for (const KorAlgosOut& record : records) {
            feel.blockAnalysed(record, kBlock);
            feel.frameStarting(0.0116f);
        }
        layerSeconds += cpuSeconds() - start;
        blocksDone += records.size();
        benchmark::DoNotOptimize(feel.bpm());
    }
    const auto n = static_cast<double>(blocksDone);
    state.counters["processAudio_us"] = engineSeconds / n * 1e6;
    state.counters["layer_us"] = layerSeconds / n * 1e6;
    state.counters["layer_share"] = layerSeconds / engineSeconds;
}
BENCHMARK(BM_FeltTempoBesideProcessAudio)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace
