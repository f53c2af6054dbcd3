// Cost of the live layer beside the plain engine at 48 kHz stereo, 60 frames
// per second: one push of 480 stereo frames, one frame() (take, resample,
// analyse, update, publish) and, for the same audio, the plain engine's
// processAudio + update. Plus the latency from a pushed sample to the first
// snapshot that reflects it, on paper and measured on a simulated device.
#include "korvala/live/LiveEngine.h"
#include "tests/support/Signals.h"

#include <benchmark/benchmark.h>

#include <soxr.h>

#include <ctime>
#include <vector>

namespace {
constexpr double kRate = 48000.0;
constexpr std::size_t kCallback = 480;
constexpr float kDt = 1.0f / 60.0f;

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// 14 s of music as interleaved stereo at 48 kHz.
std::vector<float> stereoMusic() {
    const std::vector<float> mono = korvala::test::kickHatPatternAtRate(kRate, 128.0, 14.0);
    std::vector<float> stereo(2 * mono.size());
    for (std::size_t i = 0; i < mono.size(); ++i) {
        stereo[2 * i] = mono[i];
        stereo[2 * i + 1] = 0.5f * mono[i];
    }
    return stereo;
}

void BM_LivePush480StereoFrames(benchmark::State& state) {
    const std::vector<float> music = stereoMusic();
    Korvala::LiveEngine live(kRate, 2);
    std::size_t at = 0;
    int pushes = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        live.pushInterleaved(music.data() + 2 * at, kCallback);
        state.SetIterationTime(threadSeconds() - start);
        at = (at + kCallback) % (music.size() / 2 - kCallback);
        if (++pushes % 2 == 0) {
            live.frame(kDt); // keeps the ring from overflowing; not timed
        }
    }
}
BENCHMARK(BM_LivePush480StereoFrames)->UseManualTime();

// One frame at 60 fps: 800 stereo frames pushed (not timed), then frame().
void BM_LiveFrame48kStereo(benchmark::State& state) {
    const std::vector<float> music = stereoMusic();
    Korvala::LiveEngine live(kRate, 2);
    std::size_t at = 0;
    for (auto _ : state) {
        live.pushInterleaved(music.data() + 2 * at, 800);
        at = (at + 800) % (music.size() / 2 - 800);
        const double start = threadSeconds();
        live.frame(kDt);
        state.SetIterationTime(threadSeconds() - start);
    }
}
BENCHMARK(BM_LiveFrame48kStereo)->UseManualTime();

// The same audio for the plain engine: mixed and resampled beforehand (not
// timed), then per frame the blocks that have become whole and update().
void BM_PlainFrameSameAudio(benchmark::State& state) {
    const std::vector<float> music = stereoMusic();
    std::vector<float> mono(music.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        mono[i] = (music[2 * i] + music[2 * i + 1]) / 2.0f;
    }
    std::vector<float> at44(static_cast<std::size_t>(mono.size() * 44100.0 / kRate) + 4096);
    std::size_t produced = 0;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_oneshot(kRate, 44100.0, 1, mono.data(), mono.size(), nullptr, at44.data(), at44.size(),
                 &produced, nullptr, &quality, nullptr);
    at44.resize(produced);
    Korvala::AudioEngine engine;
    std::vector<float> block(512);
    std::size_t due = 0;
    std::size_t next = 0;
    std::uint64_t frame = 0;
    for (auto _ : state) {
        ++frame;
        due = static_cast<std::size_t>(frame * 735); // 44100 / 60 samples per frame
        const double start = threadSeconds();
        while (next + 512 <= due) {
            const std::size_t from = next % (at44.size() - 512);
            std::copy_n(at44.begin() + static_cast<std::ptrdiff_t>(from), 512, block.begin());
            engine.processAudio(block);
            next += 512;
        }
        engine.update(kDt);
        state.SetIterationTime(threadSeconds() - start);
    }
}
BENCHMARK(BM_PlainFrameSameAudio)->UseManualTime();

// Latency on a simulated device: 480-frame callbacks at 48 kHz, a frame() every
// 1/60 s of device time; silence, then a burst at a random moment. The delay
// is the device time from the burst's first sample to the end of the frame
// whose snapshot first shows it ("kor_InputLevel" above 0).
void BM_LiveLatencyMeasured(benchmark::State& state) {
    const std::size_t level = Korvala::LiveEngine::scalarIndex("kor_InputLevel");
    double sum = 0.0;
    double worst = 0.0;
    double paper = 0.0;
    int trials = 0;
    std::uint32_t seed = 5;
    for (auto _ : state) {
        Korvala::LiveEngine live(kRate, 2);
        seed = seed * 1664525u + 1013904223u;
        const std::size_t burstAt = 48000 + seed % 48000; // after 1 to 2 s of silence
        std::vector<float> callback(2 * kCallback);
        Korvala::LiveSnapshot snap;
        std::size_t pushed = 0;
        double nextFrame = kRate / 60.0;
        for (;;) {
            for (std::size_t i = 0; i < kCallback; ++i) {
                const float v = pushed + i >= burstAt ? 0.5f : 0.0f;
                callback[2 * i] = callback[2 * i + 1] = v;
            }
            live.pushInterleaved(callback.data(), kCallback);
            pushed += kCallback;
            if (static_cast<double>(pushed) < nextFrame) {
                continue;
            }
            nextFrame += kRate / 60.0;
            live.frame(kDt);
            live.latest(snap);
            if (snap.scalars[level] > 0.0f) {
                break;
            }
        }
        const double delay = static_cast<double>(pushed - burstAt) / kRate;
        sum += delay;
        worst = std::max(worst, delay);
        paper = live.nominalLatencySeconds();
        ++trials;
    }
    state.counters["mean_ms"] = 1000.0 * sum / trials;
    state.counters["max_ms"] = 1000.0 * worst;
    state.counters["paper_max_ms"] = 1000.0 * paper;
}
BENCHMARK(BM_LiveLatencyMeasured)->Iterations(40);
} // namespace
