// Cost of the per-block analysis. An engine analyses the tempo on every 12th
// block only, so ordinary and analysing blocks are timed apart, plus the
// amortised mean and the FFT stage on its own.
#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/dsp/fft/RealFFT.h"
#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

using namespace korvala::test;

namespace {
constexpr std::size_t kBlock = 512;
constexpr int kDecimation = 12;

// An engine whose band history is full of music and whose next analysing
// block is the 12th from now.
struct WarmEngine {
    std::unique_ptr<Korvala::AudioEngine> engine = std::make_unique<Korvala::AudioEngine>();
    std::vector<std::vector<float>> music = blocks(kickHatPattern(128.0, 14.0), kBlock);
    std::size_t next = 0;

    WarmEngine() {
        // 1032 = 86 × 12 blocks: the history is full and the counter is at 0.
        for (int i = 0; i < 1032; ++i) {
            push();
        }
    }
    void push() {
        engine->processAudio(music[next]);
        next = (next + 1) % music.size();
    }
};

// The machine is shared, so the hand-timed cases count this thread's CPU time
// (like the CPU column of the automatically timed ones), not wall time.
double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_ProcessAudioOrdinaryBlock(benchmark::State& state) {
    WarmEngine warm;
    for (auto _ : state) {
        const double start = threadSeconds();
        for (int i = 0; i < kDecimation - 1; ++i) {
            warm.push();
        }
        const double stop = threadSeconds();
        warm.push(); // the analysing block, not timed here
        state.SetIterationTime((stop - start) / (kDecimation - 1));
    }
}
BENCHMARK(BM_ProcessAudioOrdinaryBlock)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ProcessAudioAnalysingBlock(benchmark::State& state) {
    WarmEngine warm;
    for (auto _ : state) {
        for (int i = 0; i < kDecimation - 1; ++i) {
            warm.push();
        }
        const double start = threadSeconds();
        warm.push();
        const double stop = threadSeconds();
        state.SetIterationTime(stop - start);
    }
}
BENCHMARK(BM_ProcessAudioAnalysingBlock)->UseManualTime()->Unit(benchmark::kMicrosecond);

// CPU seconds of one forward transform of n points through the FFT seam,
// the best of a few batches.
double seamSeconds(std::size_t n) {
    kor::RealFFT fft(n);
    const std::vector<float> input = noise(static_cast<double>(n) / kSampleRate, 0.5f);
    std::vector<float> re(n / 2 + 1);
    std::vector<float> im(n / 2 + 1);
    constexpr int kBatch = 500;
    double best = 1.0;
    for (int batch = 0; batch < 5; ++batch) {
        const double start = threadSeconds();
        for (int i = 0; i < kBatch; ++i) {
            fft.forward(input.data(), re.data(), im.data());
            benchmark::DoNotOptimize(re.data());
            benchmark::DoNotOptimize(im.data());
        }
        best = std::min(best, (threadSeconds() - start) / kBatch);
    }
    return best;
}

// Also reports, from the same run: `x_realtime` (audio seconds per CPU second)
// and `vs_2x_seam`, the mean block over twice the transforms it must run (one
// 2048-point and 22/12 of a 1024-point, timed here too): at most 1 is the target.
void BM_ProcessAudioAmortised(benchmark::State& state) {
    WarmEngine warm;
    const double start = threadSeconds();
    for (auto _ : state) {
        warm.push();
    }
    const double perBlock = (threadSeconds() - start) / static_cast<double>(state.iterations());
    const double seam = seamSeconds(2048) + 22.0 / 12.0 * seamSeconds(1024);
    state.counters["x_realtime"] = static_cast<double>(kBlock) / kSampleRate / perBlock;
    state.counters["vs_2x_seam"] = perBlock / (2.0 * seam);
    state.counters["seam_us"] = seam * 1e6;
}
BENCHMARK(BM_ProcessAudioAmortised)->Unit(benchmark::kMicrosecond);

void BM_FFTManagerTransform2048(benchmark::State& state) {
    FFTManager fft(2048);
    KorDSPData record;
    const std::vector<float> window = noise(2048.0 / kSampleRate, 0.5f);
    for (auto _ : state) {
        fft.transform(window, &record);
        benchmark::DoNotOptimize(record.getFFTOut().phases.data());
    }
}
BENCHMARK(BM_FFTManagerTransform2048)->Unit(benchmark::kMicrosecond);

void BM_RealFFTSeam(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    kor::RealFFT fft(n);
    const std::vector<float> input = noise(static_cast<double>(n) / kSampleRate, 0.5f);
    std::vector<float> re(n / 2 + 1);
    std::vector<float> im(n / 2 + 1);
    for (auto _ : state) {
        fft.forward(input.data(), re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
}
BENCHMARK(BM_RealFFTSeam)->Arg(2048)->Arg(1024)->Unit(benchmark::kMicrosecond);

} // namespace
