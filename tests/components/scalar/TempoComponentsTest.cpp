#include "ScalarBench.h"

#include "korvala/components/scalar/BPMComponent.h"
#include "korvala/components/scalar/BPMComponentSin.h"
#include "korvala/components/scalar/BPMComponentTri.h"
#include "korvala/components/scalar/BPMComponentTwitcher.h"
#include "korvala/components/scalar/BPMConfidenceComponent.h"
#include "korvala/components/scalar/ElapsedTimeComponent.h"
#include "korvala/components/scalar/TimeComponent.h"
#include "korvala/components/scalar/VUAdditiveTimeFast.h"

#include <gtest/gtest.h>

#include <cmath>

using korvala::test::ScalarBench;

namespace {
// 1/64 s frames keep the tempo phases exact: 120 BPM advances 1/32 of a beat.
constexpr float kFrame = 1.0f / 64.0f;

// Number of times a ramp falls back over `frames` frames.
int countWraps(ScalarBench& bench, Korvala::AudioComponent& ramp, int frames, UserInputs in) {
    int wraps = 0;
    float last = ramp.getValue();
    for (int i = 0; i < frames; ++i) {
        const float v = bench.frame(ramp, kFrame, in);
        wraps += v < last ? 1 : 0;
        last = v;
    }
    return wraps;
}
} // namespace

TEST(BPMComponentSin, CompletesOneCyclePerBeatsPerCycleBeats) {
    // At 120 BPM: frames (of 1/64 s) to half a cycle, where the wave reads 0.
    for (const auto& [beatsPerCycle, halfCycle] : {std::pair{1.0f, 16}, {2.0f, 32}, {8.0f, 128}}) {
        ScalarBench bench;
        bench.setTempo(120.0f, 1.0f);
        BPMComponentSin wave(beatsPerCycle);
        float v = 0.0f;
        for (int i = 0; i < halfCycle; ++i) {
            v = bench.frame(wave, kFrame);
        }
        EXPECT_NEAR(v, 0.0f, 1e-9f) << beatsPerCycle << " beats per cycle";
        for (int i = 0; i < halfCycle; ++i) {
            v = bench.frame(wave, kFrame);
        }
        EXPECT_NEAR(v, 1.0f, 1e-9f) << beatsPerCycle << " beats per cycle";
    }
}

TEST(BPMComponentTri, RampsOncePerBeatTimesTheSpeedStep) {
    // Four seconds at 120 BPM: 8 ramps at neutral speed, 16 on the ×2 step, 2 at 4 beats per cycle.
    const struct {
        float beatsPerCycle;
        float audioSpeed;
        int ramps;
    } cases[] = {{1.0f, 0.5f, 8}, {1.0f, 0.8f, 16}, {4.0f, 0.5f, 2}, {1.0f, 0.0f, 0}};
    for (const auto& c : cases) {
        ScalarBench bench;
        bench.setTempo(120.0f, 1.0f);
        BPMComponentTri ramp(c.beatsPerCycle);
        // A phase of exactly 1 is kept until the next frame: count the wraps of the
        // next frame too.
        EXPECT_EQ(countWraps(bench, ramp, 4 * 64 + 1, ScalarBench::controls(0.5f, c.audioSpeed)),
                  c.ramps)
            << c.beatsPerCycle << " beats per cycle at audio speed " << c.audioSpeed;
    }
}

TEST(BPMComponentTri, IsScaledByConfidenceAndMutedBelowAThousandthOfReactivity) {
    ScalarBench bench;
    bench.setTempo(120.0f, 0.5f);
    BPMComponentTri ramp(1.0f);
    BPMComponentSin wave(1.0f);
    for (int i = 0; i < 8; ++i) {
        bench.frame(ramp, kFrame);
        bench.frame(wave, kFrame);
    }
    EXPECT_EQ(ramp.getValue(), 0.5f * 0.25f);
    EXPECT_EQ(bench.frame(ramp, kFrame, ScalarBench::controls(0.0009f)), 0.0f);
    EXPECT_EQ(bench.frame(wave, kFrame, ScalarBench::controls(0.0009f)), 0.0f);
    bench.setTempo(120.0f, 0.0f);
    EXPECT_EQ(bench.frame(ramp, kFrame), 0.0f);
    EXPECT_EQ(bench.frame(wave, kFrame), 0.0f);
}

TEST(BPMConfidenceComponent, ShiftsTheConfidenceByReactivity) {
    ScalarBench bench;
    bench.setTempo(128.0f, 0.7f);
    BPMConfidenceComponent confidence;
    BPMComponent tempo;
    EXPECT_EQ(bench.frame(tempo, kFrame), 128.0f);
    EXPECT_EQ(bench.frame(confidence, kFrame, ScalarBench::controls(0.5f)), 0.7f);
    EXPECT_EQ(bench.frame(confidence, kFrame, ScalarBench::controls(1.0f)), 1.0f);
    EXPECT_EQ(bench.frame(confidence, kFrame, ScalarBench::controls(0.0f)),
              static_cast<float>(static_cast<double>(0.7f) - 0.5));
    bench.setTempo(128.0f, 0.2f);
    EXPECT_EQ(bench.frame(confidence, kFrame, ScalarBench::controls(0.0f)), 0.0f);
}

TEST(BPMComponentTwitcher, StepsToTheNextBeatEarlierAtHigherReactivity) {
    // Tempo 60: one beat per second. 96 frames of 1/64 s are 1.5 beats.
    const struct {
        float reactivity;
        double expected;
    } cases[] = {
        {0.0f, 1.5},
        {0.25f, 0.5 * 1.5 + 0.5 * (2.0 - std::exp(-4.5))},
        {0.5f, 2.0 - std::exp(-4.5)},
        {1.0f, 2.0 - std::exp(-17.0)},
    };
    for (const auto& c : cases) {
        ScalarBench bench;
        bench.setTempo(60.0f, 1.0f);
        BPMComponentTwitcher twitcher;
        float v = 0.0f;
        for (int i = 0; i < 96; ++i) {
            v = bench.frame(twitcher, kFrame, ScalarBench::controls(c.reactivity));
        }
        EXPECT_NEAR(v, c.expected, 1e-6) << "reactivity " << c.reactivity;
    }
    ScalarBench bench;
    bench.setTempo(60.0f, 1.0f);
    BPMComponentTwitcher still;
    EXPECT_EQ(bench.frame(still, 0.5f, ScalarBench::controls(0.5f, 0.0f)), 0.0f);
}

TEST(ElapsedTimeComponent, CountsSecondsAtNeutralSpeedWithFramesLimitedToHalfASecond) {
    ScalarBench bench;
    Korvala::ElapsedTimeComponent time;
    for (int i = 0; i < 20; ++i) {
        bench.frame(time, 0.5f);
    }
    EXPECT_EQ(time.getValue(), 10.0f);
    EXPECT_EQ(bench.frame(time, 2.0f), 10.5f) << "a 2 s frame counts as 0.5 s";
    EXPECT_EQ(bench.frame(time, 0.7f, ScalarBench::controls(0.5f, 1.0f)), 11.5f);
    EXPECT_EQ(bench.frame(time, 0.25f, ScalarBench::controls(0.5f, 0.0f)), 11.5f);
    time.reset();
    EXPECT_EQ(time.getValue(), 0.0f);
}

TEST(TimeComponent, RunsAtAFixedRateInSilenceAtReactivityZeroOnly) {
    ScalarBench bench;
    TimeComponent clock(AudioFeature::VU);
    for (int i = 0; i < 64; ++i) {
        bench.frame(clock, kFrame, ScalarBench::controls(0.0f));
    }
    EXPECT_NEAR(clock.getValue(), 2.25f, 1e-5f) << "0.3 × 7.5 per second";
    const float at = clock.getValue();
    for (int i = 0; i < 64; ++i) {
        bench.frame(clock, kFrame);
    }
    EXPECT_NEAR(clock.getValue(), at, 0.2f) << "only the follower's tail";
    const float tail = clock.getValue();
    for (int i = 0; i < 64; ++i) {
        bench.frame(clock, kFrame);
    }
    EXPECT_EQ(clock.getValue(), tail) << "stands still in silence at neutral reactivity";
}

TEST(TimeComponent, RunsWithTheLevelAndRestartsFromTheNextUpdateAfterReset) {
    ScalarBench bench;
    TimeComponent clock(AudioFeature::BassVU);
    bench.setAccumLevel(AudioFeature::BassVU, 0.5f); // doubled: full rate
    for (int i = 0; i < 64; ++i) {
        bench.frame(clock, kFrame);
    }
    EXPECT_EQ(clock.getValue(), 7.5f);
    EXPECT_EQ(bench.frame(clock, kFrame, ScalarBench::controls(0.5f, 1.0f)), 7.5f + 15.0f / 64.0f);
    clock.reset();
    EXPECT_EQ(clock.getValue(), 7.5f + 15.0f / 64.0f);
    EXPECT_EQ(bench.frame(clock, kFrame), 7.5f / 64.0f);
}

TEST(VUAdditiveTimeFast, RunsWithTheSquareOfTheFollowedLevel) {
    const struct {
        float reactivity;
        float perSecond;
    } cases[] = {
        {0.5f, 0.25f * 7.5f},
        {1.0f, 2.5f * 0.0625f * 7.5f},
        {0.0f, 0.125f * 7.5f},
    };
    for (const auto& c : cases) {
        ScalarBench bench;
        VUAdditiveTimeFast clock;
        bench.setAccumLevel(AudioFeature::VU, 0.5f);
        for (int i = 0; i < 64; ++i) {
            bench.frame(clock, kFrame, ScalarBench::controls(c.reactivity));
        }
        EXPECT_NEAR(clock.getValue(), c.perSecond, 1e-5f) << "reactivity " << c.reactivity;
    }
}
