// A live-style run: a generated 120 BPM kick pattern pushed in 512-sample blocks
// while the host renders at 60 frames per second.

#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(LiveBeat, KickPatternDrivesPulsesCountAndBassLevel) {
    constexpr double kFrame = 1.0 / 60.0;
    constexpr double kFrom = 4.0; // after the 2 s level histories have filled
    constexpr double kTo = 11.5;
    constexpr int kBeats = 15; // two per second from kFrom to kTo
    Korvala::AudioEngine engine;
    double audioTime = 0.0;
    int frames = 0; // frame n ends at n/60 s; a kick falls on every 30th
    float countAtTo = 0.0f;
    int pulses = 0;
    float onBeat = 0.0f;
    float countAtFrom = 0.0f;
    float peakSum = 0.0f;   // per beat: bass level within 0.15 s of the kick
    float troughSum = 0.0f; // per beat: bass level just before the next kick
    float peak = 0.0f;
    float quietPulse = 0.0f;
    for (std::vector<float> block :
         korvala::test::blocks(korvala::test::kickPattern(120.0, kTo + 0.5), 512)) {
        engine.processAudio(block);
        audioTime += 512.0 / korvala::test::kSampleRate;
        while ((frames + 1) * kFrame <= audioTime) {
            engine.update(static_cast<float>(kFrame));
            const double frameTime = ++frames * kFrame;
            const float pulse = engine.getComponent("kor_OnBeat");
            const float bass = engine.getComponent("kor_BassLevel");
            const int inBeat = frames % 30;
            if (frameTime < kFrom) {
                countAtFrom = engine.getComponent("kor_BeatTime");
            } else if (frameTime < kTo) {
                countAtTo = engine.getComponent("kor_BeatTime");
                pulses += onBeat < 0.5f && pulse >= 0.5f ? 1 : 0;
                peak = inBeat < 9 ? std::max(peak, bass) : peak;
                if (inBeat == 29) { // the last frame before the next kick
                    peakSum += peak;
                    troughSum += bass;
                    quietPulse = std::max(quietPulse, pulse);
                    peak = 0.0f;
                }
            }
            onBeat = pulse;
        }
    }
    EXPECT_NEAR(pulses, kBeats, 2) << "kor_OnBeat pulses about twice a second";
    EXPECT_NEAR(countAtTo - countAtFrom, kBeats, 2) << "kor_BeatTime counts about two a second";
    EXPECT_GT(peakSum / kBeats, 0.9f) << "kor_BassLevel is high on the kicks";
    EXPECT_LT(troughSum / kBeats, 0.7f) << "and well down before the next one";
    EXPECT_LT(quietPulse, 0.05f) << "kor_OnBeat is quiet between the kicks";
}
