#include "korvala/dsp/Engine.h"
#include "korvala/engine/AudioEngine.h"
#include "tests/support/ComponentRanges.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

using namespace korvala::test;

namespace {
constexpr std::size_t kFrameSamples = 735; // 44100 Hz at 60 frames per second
constexpr float kFrame = 1.0f / 60.0f;

// Every value of every component after one frame, in name order.
using Snapshot = std::map<std::string, std::vector<float>>;

Snapshot snapshot(Korvala::AudioEngine& engine) {
    Snapshot out;
    for (const auto& [name, value] : engine.getAllComponents()) {
        out[name] = {value};
    }
    for (const auto& [name, values] : engine.getAllComponents2D()) {
        out[name] = values;
    }
    return out;
}

bool sameBits(const Snapshot& a, const Snapshot& b, std::string* where) {
    for (const auto& [name, values] : a) {
        const auto it = b.find(name);
        if (it == b.end() || it->second.size() != values.size() ||
            std::memcmp(values.data(), it->second.data(), values.size() * sizeof(float)) != 0) {
            *where = name;
            return false;
        }
    }
    return a.size() == b.size();
}

// One hostile step of a script: what the hostile host does, and the benign
// equivalent it must be indistinguishable from.
struct Step {
    std::function<void(Korvala::AudioEngine&)> hostile;
    std::function<void(Korvala::AudioEngine&)> benign;
};

std::vector<Snapshot> run(const std::vector<Step>& script, bool hostile,
                          std::vector<std::string>* unsound) {
    Korvala::AudioEngine engine;
    std::vector<Snapshot> frames;
    for (const Step& step : script) {
        (hostile ? step.hostile : step.benign)(engine);
        frames.push_back(snapshot(engine));
        const std::string problem = firstUnsoundValue(engine);
        if (!problem.empty()) {
            unsound->push_back(problem);
        }
    }
    return frames;
}
} // namespace

// NaN, infinite and absurdly large samples, empty blocks, hostile frame times
// and NaN or infinite user controls must leave the engine exactly where
// silence, no block, a frame of zero length and no control call would: every
// value sound throughout and, once real audio resumes, everything (levels,
// statistics, beat detectors, tempo) recovers exactly as after an ordinary pause.
TEST(HostileInput, IsIndistinguishableFromSilenceNoBlockZeroTimeAndNoControlCall) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float max = std::numeric_limits<float>::max();
    const std::vector<float> music = kickHatPattern(128.0, 8.0);
    const std::vector<std::vector<float>> musicBlocks = blocks(music, kFrameSamples);
    const std::vector<float> silent(kFrameSamples, 0.0f);
    std::vector<std::vector<float>> garbage = {
        std::vector<float>(kFrameSamples, nan),
        std::vector<float>(kFrameSamples, inf),
        std::vector<float>(kFrameSamples, -max),
        std::vector<float>(kFrameSamples, 1e30f),
        std::vector<float>(2048, std::nextafter(Engine::kSampleLimit, max)),
        nyquistAlternating(2048)};
    for (float& s : garbage.back()) {
        s *= 1e38f;
    }
    std::vector<float> loud = nyquistAlternating(kFrameSamples);
    for (float& s : loud) {
        s *= Engine::kSampleLimit; // loud but legal: passes as it is
    }

    std::vector<Step> script;
    auto play = [&](const std::vector<float>& block, float dt) {
        const auto same = [block, dt](Korvala::AudioEngine& e) {
            std::vector<float> b = block;
            e.processAudio(b);
            e.update(dt);
        };
        script.push_back({same, same});
    };
    std::size_t next = 0;
    for (; next < 120; ++next) {
        play(musicBlocks[next], kFrame);
    }
    const float badTimes[] = {nan, -1.0f, inf, -inf, -0.0f};
    for (std::size_t i = 0; i < 60; ++i) {
        const std::vector<float> bad = garbage[i % garbage.size()];
        const float badDt = badTimes[i % 5];
        const float badControl = i % 2 == 0 ? nan : -inf;
        script.push_back({[bad, badDt, badControl](Korvala::AudioEngine& e) {
                              e.setReactivityUserInput(badControl);
                              e.setAudioSpeedUserInput(badControl);
                              std::vector<float> b = bad;
                              std::vector<float> empty;
                              e.processAudio(empty);
                              e.processAudio(b);
                              e.processAudio(empty);
                              e.update(badDt);
                          },
                          [n = bad.size()](Korvala::AudioEngine& e) {
                              std::vector<float> b(n, 0.0f);
                              e.processAudio(b);
                              e.update(0.0f);
                          }});
    }
    play(loud, kFrame);
    for (; next < musicBlocks.size(); ++next) {
        play(musicBlocks[next], kFrame);
    }

    std::vector<std::string> unsound;
    const std::vector<Snapshot> hostile = run(script, true, &unsound);
    const std::vector<Snapshot> benign = run(script, false, &unsound);
    EXPECT_TRUE(unsound.empty()) << unsound.front();
    ASSERT_EQ(hostile.size(), benign.size());
    for (std::size_t f = 0; f < hostile.size(); ++f) {
        std::string where;
        ASSERT_TRUE(sameBits(hostile[f], benign[f], &where)) << where << " in frame " << f;
    }
    // The music after the burst is heard: the beat detector fires again.
    EXPECT_GT(hostile.back().at("kor_BeatTime")[0], hostile[180].at("kor_BeatTime")[0]);
}
