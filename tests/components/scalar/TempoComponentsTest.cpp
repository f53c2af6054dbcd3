#include "korvala/components/scalar/BPMComponentSin.h"
#include "korvala/components/scalar/BPMComponentTwitcher.h"
#include "korvala/components/scalar/BPMConfidenceComponent.h"
#include "korvala/components/scalar/ElapsedTimeComponent.h"
#include "korvala/components/scalar/TimeComponent.h"
#include "korvala/components/scalar/VUAdditiveTimeFast.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <cmath>

using korvala::test::StoreRig;

namespace {
// 1/64 s frames keep tempo phases exact: 120 BPM advances 1/32 of a beat.
constexpr float kFrame = 1.0f / 64.0f;
} // namespace

TEST(BPMComponentSin, CompletesTwoCyclesPerSecondAt120BPM) {
    // {beats per cycle, frames to half a cycle}: the wave reads 0 there and 1 at the end.
    for (const auto& [beatsPerCycle, half] : {std::pair{1.0f, 16}, {2.0f, 32}, {8.0f, 128}}) {
        StoreRig bench;
        bench.setTempo(120.0f, 1.0f);
        BPMComponentSin wave(beatsPerCycle);
        for (int cycle = 0; cycle < 2; ++cycle) {
            for (int i = 0; i < half; ++i) {
                bench.frame(wave, kFrame);
            }
            EXPECT_NEAR(wave.getValue(), 0.0f, 1e-9f) << beatsPerCycle;
            for (int i = 0; i < half; ++i) {
                bench.frame(wave, kFrame);
            }
            EXPECT_NEAR(wave.getValue(), 1.0f, 1e-9f) << beatsPerCycle;
        }
    }
}

TEST(BPMConfidenceComponent, ShiftsTheConfidenceByReactivity) {
    StoreRig bench;
    bench.setTempo(128.0f, 0.7f);
    BPMConfidenceComponent confidence;
    EXPECT_EQ(bench.frame(confidence, kFrame, 0.5f), 0.7f);
    EXPECT_EQ(bench.frame(confidence, kFrame, 1.0f), 1.0f);
    EXPECT_EQ(bench.frame(confidence, kFrame, 0.0f), static_cast<float>(0.7f - 0.5));
}

TEST(BPMComponentTwitcher, StepsToTheNextBeatEarlierAtHigherReactivity) {
    // Tempo 60 for 96 frames of 1/64 s: 1.5 beats.
    const double cases[][2] = {{0.0, 1.5},
                               {0.25, 0.5 * 1.5 + 0.5 * (2.0 - std::exp(-4.5))},
                               {0.5, 2.0 - std::exp(-4.5)},
                               {1.0, 2.0 - std::exp(-17.0)}};
    for (const auto& [reactivity, expected] : cases) {
        StoreRig bench;
        bench.setTempo(60.0f, 1.0f);
        BPMComponentTwitcher twitcher;
        for (int i = 0; i < 96; ++i) {
            bench.frame(twitcher, kFrame, static_cast<float>(reactivity));
        }
        EXPECT_NEAR(twitcher.getValue(), expected, 1e-6) << reactivity;
    }
}

TEST(ElapsedTimeComponent, CountsSecondsWithFramesLimitedToHalfASecond) {
    StoreRig bench;
    Korvala::ElapsedTimeComponent time;
    for (int i = 0; i < 20; ++i) {
        bench.frame(time, 0.5f);
    }
    EXPECT_EQ(time.getValue(), 10.0f);
    EXPECT_EQ(bench.frame(time, 2.0f), 10.5f);
    EXPECT_EQ(bench.frame(time, 0.7f, 0.5f, 1.0f), 11.5f);
}

TEST(LevelClocks, RunAtTheirDocumentedRates) {
    // {reactivity, accumulated level (0 = silence), per-second rate}
    const float cases[][3] = {{0.0f, 0.0f, 2.25f}, {0.5f, 0.0f, 0.0f}, {0.5f, 0.5f, 7.5f}};
    for (const auto& [reactivity, level, rate] : cases) {
        StoreRig bench;
        TimeComponent clock(AudioFeature::VU);
        if (level > 0.0f) {
            bench.setAccumLevel(&KorAlgosOut::vu, level);
        }
        for (int i = 0; i < 64; ++i) {
            bench.frame(clock, kFrame, reactivity);
        }
        EXPECT_NEAR(clock.getValue(), rate, 1e-5f) << reactivity << ", " << level;
    }
    StoreRig bench;
    VUAdditiveTimeFast curved;
    bench.setAccumLevel(&KorAlgosOut::vu, 0.5f);
    for (int i = 0; i < 64; ++i) {
        bench.frame(curved, kFrame);
    }
    EXPECT_NEAR(curved.getValue(), 1.875f, 1e-5f) << "0.5² × 7.5";
}
