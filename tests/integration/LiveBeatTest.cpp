// A live-style run: a generated 120 BPM kick pattern pushed in 512-sample blocks
// while the host renders at 60 frames per second, as a visualiser would.

#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kBpm = 120.0;
constexpr double kSeconds = 12.0;
constexpr double kWarmUp = 4.0; // the level histories span 2 s
constexpr double kFrame = 1.0 / 60.0;

struct Sample {
    double time;
    float onBeat;
    float beatTime;
    float bassLevel;
};

// Pushes the signal block by block and renders a frame whenever the audio has
// run a frame ahead; records the three values after every frame.
std::vector<Sample> run(const std::vector<float>& signal) {
    Korvala::AudioEngine engine;
    std::vector<Sample> samples;
    double audioTime = 0.0;
    double frameTime = 0.0;
    for (std::vector<float> block : korvala::test::blocks(signal, 512)) {
        engine.processAudio(block);
        audioTime += 512.0 / korvala::test::kSampleRate;
        while (frameTime + kFrame <= audioTime) {
            engine.update(static_cast<float>(kFrame));
            frameTime += kFrame;
            samples.push_back({frameTime, engine.getComponent("kor_OnBeat"),
                               engine.getComponent("kor_BeatTime"),
                               engine.getComponent("kor_BassLevel")});
        }
    }
    return samples;
}

} // namespace

TEST(LiveBeat, KickPatternDrivesPulsesCountAndBassLevel) {
    const std::vector<Sample> samples = run(korvala::test::kickPattern(kBpm, kSeconds));
    const double span = kSeconds - kWarmUp - 0.5;
    const double beats = span * kBpm / 60.0;

    int pulses = 0;
    float countAtStart = 0.0f;
    float countAtEnd = 0.0f;
    float previous = 0.0f;
    for (const Sample& s : samples) {
        if (s.time < kWarmUp) {
            countAtStart = s.beatTime;
            previous = s.onBeat;
            continue;
        }
        if (s.time > kWarmUp + span) {
            break;
        }
        pulses += previous < 0.5f && s.onBeat >= 0.5f ? 1 : 0;
        previous = s.onBeat;
        countAtEnd = s.beatTime;
    }
    EXPECT_NEAR(pulses, beats, 2.0) << "kor_OnBeat pulses about twice a second";
    EXPECT_NEAR(countAtEnd - countAtStart, beats, 2.0) << "kor_BeatTime counts about two a second";

    // Per beat: the bass level's peak within 0.15 s of the kick, and its value
    // just before the next kick.
    double peakSum = 0.0;
    double troughSum = 0.0;
    double pulseBetweenSum = 0.0;
    int measured = 0;
    const double beat = 60.0 / kBpm;
    for (double kick = kWarmUp; kick + beat < kSeconds - 0.1; kick += beat) {
        float peak = 0.0f;
        float trough = 1.0f;
        float pulseBetween = 0.0f;
        for (const Sample& s : samples) {
            if (s.time >= kick && s.time < kick + 0.15) {
                peak = std::max(peak, s.bassLevel);
            }
            if (s.time >= kick + beat - 0.06 && s.time < kick + beat - 0.01) {
                trough = std::min(trough, s.bassLevel);
                pulseBetween = std::max(pulseBetween, s.onBeat);
            }
        }
        peakSum += peak;
        troughSum += trough;
        pulseBetweenSum += pulseBetween;
        ++measured;
    }
    ASSERT_GT(measured, 10);
    EXPECT_GT(peakSum / measured, 0.9) << "kor_BassLevel is high on the kicks";
    EXPECT_LT(troughSum / measured, 0.7) << "and has fallen well away before the next one";
    EXPECT_LT(pulseBetweenSum / measured, 0.05) << "kor_OnBeat is quiet between the kicks";
}
