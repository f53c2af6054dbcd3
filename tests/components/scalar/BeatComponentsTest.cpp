#include "korvala/components/scalar/BeatComponentRMS.h"
#include "korvala/components/scalar/BeatToFlipSwitch.h"
#include "korvala/components/scalar/BeatToIncrement.h"
#include "korvala/components/scalar/BeatToRandomLocation.h"
#include "korvala/components/scalar/OnsetDetector.h"
#include "korvala/components/scalar/PrimeAndBangStructureDetectorComponent.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using korvala::test::StoreRig;

namespace {
constexpr float kFrame = 1.0f / 60.0f;
constexpr auto kRms = &KorAlgosOut::rms;

// 20 silent RMS blocks: a spike then reads about 4.5 deviations, far above
// every onset threshold.
void quietRms(StoreRig& bench) {
    for (int i = 0; i < 20; ++i) {
        bench.push(kRms, 0.0f);
    }
}
} // namespace

TEST(OnsetDetector, NeedsOneAndAHalfDeviationsAtNeutralReactivity) {
    const float cases[][3] = {{0.5f, 1.5f, 1},  {0.5f, 1.49f, 0}, {0.0f, 2.25f, 1},
                              {0.0f, 2.24f, 0}, {1.0f, 0.75f, 1}, {1.0f, 0.74f, 0}};
    for (const auto& [reactivity, deviance, onset] : cases) {
        OnsetDetector detector(true);
        EXPECT_EQ(detector.detect(deviance, kFrame, reactivity), onset == 1.0f) << deviance;
    }
}

TEST(BeatToIncrement, CountsOnsetsAtLeastTwelveHundredthsOfASecondApart) {
    // {frames of 0.01 s between two spikes, reactivity, audio speed, count}
    const float cases[][4] = {
        {10, 0.5f, 0.5f, 1}, {13, 0.5f, 0.5f, 2}, {13, 0.0f, 0.5f, 0}, {13, 0.5f, 0.0f, 0}};
    for (const auto& [gap, reactivity, speed, count] : cases) {
        StoreRig bench;
        quietRms(bench);
        BeatToIncrement beats;
        for (int frame = 0; frame <= static_cast<int>(gap); ++frame) {
            bench.push(kRms, frame == 0 || frame == static_cast<int>(gap) ? 1.0f : 0.0f);
            bench.frame(beats, 0.01f, reactivity, speed);
        }
        EXPECT_EQ(beats.getValue(), count) << gap << " frames, " << reactivity << ", " << speed;
    }
}

TEST(BeatComponentRMS, PulsesOnOnsetsAndIsSilentAtReactivityZero) {
    for (const auto& [reactivity, pulse] : {std::pair{0.5f, 1.0f}, {0.0f, 0.0f}}) {
        StoreRig bench;
        quietRms(bench);
        BeatComponentRMS onBeat;
        bench.push(kRms, 1.0f);
        EXPECT_EQ(bench.frame(onBeat, kFrame, reactivity), pulse);
        EXPECT_NEAR(bench.frame(onBeat, kFrame), 0.2f, 1e-6f) << "decay 0.2 at reactivity 0.5";
    }
}

TEST(BeatToFlipSwitch, OnsetFrameReadsWhereItStoodAndFlipsTheTarget) {
    StoreRig bench;
    quietRms(bench);
    BeatToFlipSwitch toggle;
    for (int i = 0; i < 5; ++i) {
        bench.frame(toggle, kFrame);
    }
    const float before = toggle.getValue(); // rising toward the first target, 1
    EXPECT_NEAR(before, (1.0 / (1.0 + std::exp(-7.2 * 5.0 / 60.0)) - 0.5) * 2.0, 1e-6);
    bench.push(kRms, 1.0f);
    EXPECT_EQ(bench.frame(toggle, kFrame), before);
    EXPECT_EQ(toggle.getTarget(), 0.0f);
    EXPECT_EQ(toggle.getFrom(), before);
    EXPECT_EQ(bench.frame(toggle, kFrame, 0.0009f), 0.0f) << "muted";
}

TEST(BeatToRandomLocation, OnsetFrameReadsHalfWayToATargetAtLeastAThirdAway) {
    bool sawNear = false;
    bool sawFar = false;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        StoreRig bench;
        quietRms(bench);
        Korvala::RandomSequence random;
        BeatToRandomLocation glide(&random);
        for (unsigned i = 0; i < seed % 20; ++i) {
            bench.frame(glide, kFrame);
        }
        const float from = glide.getValue();
        random.seed(seed);
        const float drawn = static_cast<float>(random.next() % 1000) / 1000.0f;
        random.seed(seed);
        bench.push(kRms, 1.0f);
        const float v = bench.frame(glide, kFrame);
        const bool near = std::fabs(static_cast<double>(drawn) - from) < 0.3;
        (near ? sawNear : sawFar) = true;
        const float target = near ? static_cast<float>(std::fmod(from + 0.5, 1.0)) : drawn;
        EXPECT_EQ(glide.getTarget(), target) << "seed " << seed;
        EXPECT_EQ(v, from + (target - from) / 2.0f) << "seed " << seed;
    }
    EXPECT_TRUE(sawNear && sawFar);
}

TEST(PrimeAndBangStructureDetectorComponent, WaitsLongerForSmallerRisesAndNeverAtZero) {
    // {silent VU blocks before the spike (deviance √n), reactivity, first bang in s}
    const float cases[][3] = {{16, 0.5f, 12}, {9, 0.5f, 30}, {4, 0.5f, 60}, {100, 0.0f, -1}};
    for (const auto& [zeros, reactivity, bangAt] : cases) {
        StoreRig bench;
        PrimeAndBangStructureDetectorComponent bang;
        bench.spike(&KorAlgosOut::vu, static_cast<int>(zeros));
        float first = -1.0f;
        for (int frame = 1; frame <= 8 * 300 && first < 0.0f; ++frame) {
            first = bench.frame(bang, 0.125f, reactivity) == 1.0f ? frame * 0.125f : -1.0f;
        }
        EXPECT_EQ(first, bangAt) << zeros << " silent blocks at reactivity " << reactivity;
    }
}
