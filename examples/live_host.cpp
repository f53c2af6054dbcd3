// A live host in miniature: an "audio device" thread delivers 480-frame stereo
// callbacks at 48 kHz (a generated 120 BPM pulse, paced in real time), the main
// thread renders at 60 frames per second: frame(dt), then the latest snapshot.
// A real host calls pushInterleaved from its device callback instead.
#include <korvala/live/LiveEngine.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

int main() {
    constexpr double kRate = 48000.0;
    constexpr std::size_t kCallback = 480;
    Korvala::LiveEngine live(kRate, 2); // ring of one second, 60 fps expected
    const std::size_t level = Korvala::LiveEngine::scalarIndex("kor_Level");
    const std::size_t bpm = Korvala::LiveEngine::scalarIndex("kor_BPM");
    const std::size_t onBeat = Korvala::LiveEngine::scalarIndex("kor_OnBeat");

    std::atomic<bool> running{true};
    std::thread device([&] {
        std::vector<float> callback(2 * kCallback);
        long sample = 0;
        auto due = std::chrono::steady_clock::now();
        while (running) {
            for (std::size_t i = 0; i < kCallback; ++i, ++sample) {
                const double t = static_cast<double>(sample) / kRate;
                const double sinceBeat = std::fmod(t, 0.5);
                const float v = static_cast<float>(0.8 * std::exp(-sinceBeat * 12.0) *
                                                   std::sin(2.0 * 3.14159265358979 * 60.0 * t));
                callback[2 * i] = v;
                callback[2 * i + 1] = 0.5f * v;
            }
            live.pushInterleaved(callback.data(), kCallback); // never waits, never allocates
            due += std::chrono::microseconds(10000);          // 480 frames at 48 kHz
            std::this_thread::sleep_until(due);
        }
    });

    Korvala::LiveSnapshot snap;
    auto next = std::chrono::steady_clock::now();
    for (int frame = 1; frame <= 6 * 60; ++frame) { // six seconds
        next += std::chrono::microseconds(16667);
        std::this_thread::sleep_until(next);
        live.frame(1.0f / 60.0f); // the render thread's analysis step
        live.latest(snap);        // any thread may read; here the same one
        if (frame % 60 == 0) {
            std::printf("%5.1f s  level %.3f  bpm %6.1f  on beat %.2f  latency %4.1f ms  "
                        "dropped %llu\n",
                        snap.secondsAnalysed, static_cast<double>(snap.scalars[level]),
                        static_cast<double>(snap.scalars[bpm]),
                        static_cast<double>(snap.scalars[onBeat]), 1000.0 * snap.latencySeconds,
                        static_cast<unsigned long long>(snap.droppedFrames));
        }
    }
    running = false;
    device.join();
    return 0;
}
