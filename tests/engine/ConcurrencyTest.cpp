#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {
// Every scalar after every 10th frame of the signal, through one engine that
// is built, run and destroyed here.
std::vector<std::map<std::string, float>> runEngine(const std::vector<float>& signal) {
    Korvala::AudioEngine engine;
    std::vector<std::map<std::string, float>> frames;
    std::size_t index = 0;
    for (std::vector<float>& block : korvala::test::blocks(signal, 512)) {
        engine.processAudio(block);
        engine.update(512.0f / 44100.0f);
        if (index++ % 10 == 0) {
            const auto values = engine.getAllComponents();
            frames.emplace_back(values.begin(), values.end());
            engine.getComponent2D("kor_Spectrum");
            engine.getAnalysisRecord();
        }
    }
    return frames;
}

bool sameBits(const std::vector<std::map<std::string, float>>& a,
              const std::vector<std::map<std::string, float>>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t f = 0; f < a.size(); ++f) {
        if (a[f].size() != b[f].size()) {
            return false;
        }
        for (const auto& [name, value] : a[f]) {
            const auto it = b[f].find(name);
            if (it == b[f].end() || std::memcmp(&value, &it->second, sizeof value) != 0) {
                return false;
            }
        }
    }
    return true;
}
} // namespace

// Separate engines share nothing: engines built, run and destroyed on four
// threads at once (the FFT plans included) each give exactly what one engine
// gives alone. Under the tsan preset this also proves there is no data race.
TEST(Concurrency, EnginesOnSeveralThreadsAtOnceMatchOneEngineAlone) {
    const std::vector<float> signal = korvala::test::kickHatPattern(128.0, 4.0);
    const auto alone = runEngine(signal);
    constexpr int kThreads = 4;
    constexpr int kRounds = 2;
    std::vector<int> matches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                matches[static_cast<std::size_t>(t)] += sameBits(runEngine(signal), alone) ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(matches[static_cast<std::size_t>(t)], kRounds) << "thread " << t;
    }
}
