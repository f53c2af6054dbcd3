#include "ScalarBench.h"

#include "korvala/components/scalar/AccumulatorComponent.h"
#include "korvala/components/scalar/DevianceComponent.h"
#include "korvala/components/scalar/InputTrackingComponent.h"
#include "korvala/components/scalar/PresenceComponent.h"
#include "korvala/components/scalar/RawComponent.h"
#include "korvala/components/scalar/ThresholdDecayComponent.h"
#include "korvala/components/scalar/VUComponent.h"
#include "korvala/components/scalar/VUFadeToBlack.h"
#include "korvala/components/scalar/VUIntensityAccum.h"

#include <gtest/gtest.h>

using korvala::test::ScalarBench;

namespace {
constexpr float kFrame = 1.0f / 60.0f;
}

TEST(AccumulatorComponent, DoublesTheLevelAndRetunesItsDecayByReactivity) {
    // {reactivity, value after the jump, after one silent frame}
    const struct {
        float reactivity;
        float jump;
        float decayed;
    } cases[] = {
        {0.5f, 0.5f, 0.5f * 0.98f},
        {1.0f, 0.5f, 0.5f * 0.9f},
        {0.125f, 0.25f, 0.25f * (0.98f + 0.015f * 0.75f)},
    };
    for (const auto& c : cases) {
        ScalarBench bench;
        AccumulatorComponent level(AudioFeature::BassVU);
        bench.setAccumLevel(AudioFeature::BassVU, 0.25f);
        const auto in = ScalarBench::controls(c.reactivity);
        EXPECT_FLOAT_EQ(bench.frame(level, kFrame, in), c.jump) << "reactivity " << c.reactivity;
        bench.push(AudioFeature::BassVU, 0.0f);
        EXPECT_NEAR(bench.frame(level, kFrame, in), c.decayed, 2e-7f)
            << "reactivity " << c.reactivity;
    }
}

TEST(AccumulatorComponent, OnlyFallsAtReactivityZero) {
    ScalarBench bench;
    AccumulatorComponent level(AudioFeature::VU);
    bench.setAccumLevel(AudioFeature::VU, 1.0f);
    EXPECT_EQ(bench.frame(level, kFrame), 1.0f);
    EXPECT_NEAR(bench.frame(level, kFrame, ScalarBench::controls(0.0f)), 0.995f, 1e-6f);
    bench.frame(level, 0.5f, ScalarBench::controls(0.0f));
    EXPECT_NEAR(level.getValue(), 0.995f * (1.0f - 30.0f * 0.005f), 1e-6f);
}

TEST(DevianceComponent, HitGrowsWithDevianceAndReactivity) {
    // Values 0 then 1 give a deviance of exactly 1: a hit of 2/3 at neutral reactivity.
    const struct {
        float reactivity;
        float hit;
    } cases[] = {
        {0.5f, 2.0f / 3.0f},
        {0.125f, 1.0f / 3.0f},
        {1.0f, 8.0f / 9.0f},
        {0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        ScalarBench bench;
        DevianceComponent hits(AudioFeature::MidVU);
        bench.spikeAfterSilence(AudioFeature::MidVU, 1);
        ASSERT_EQ(bench.layer()->getDeviance(AudioFeature::MidVU), 1.0f);
        EXPECT_NEAR(bench.frame(hits, kFrame, ScalarBench::controls(c.reactivity)), c.hit, 1e-6f)
            << "reactivity " << c.reactivity;
    }
    ScalarBench bench;
    DevianceComponent hits(AudioFeature::VU);
    bench.spikeAfterSilence(AudioFeature::VU, 4); // deviance about 2
    EXPECT_EQ(bench.frame(hits, kFrame), 1.0f);
}

TEST(InputTrackingComponent, ReadsOneOnEveryNewMaximumAndTracksADecayingPeak) {
    ScalarBench bench;
    InputTrackingComponent raw;
    RawComponent input(AudioFeature::VU);
    EXPECT_EQ(bench.frame(raw, kFrame), 0.0f) << "silence";
    bench.push(AudioFeature::VU, 0.4f);
    EXPECT_EQ(bench.frame(raw, kFrame), 1.0f);
    EXPECT_EQ(bench.frame(input, kFrame), 0.4f);
    bench.push(AudioFeature::VU, 0.2f);
    // The peak lost 0.05 % in the previous frame (3 % per second).
    EXPECT_FLOAT_EQ(bench.frame(raw, kFrame), 0.2f / (0.4f * 0.9995f));
    bench.push(AudioFeature::VU, 0.9f);
    EXPECT_EQ(bench.frame(raw, kFrame), 1.0f);
}

TEST(VUComponent, ReadsTheNormalisedBlockPeak) {
    ScalarBench bench;
    VUComponent vu;
    bench.setAccumLevel(AudioFeature::VU, 0.3f);
    EXPECT_EQ(bench.frame(vu, kFrame), 0.3f);
}

TEST(VUIntensityAccum, RisesAboveATenthOfTheLevelAndDecaysAtOrBelowIt) {
    ScalarBench bench;
    VUIntensityAccum intensity;
    bench.setAccumLevel(AudioFeature::VU, 0.5f);
    float v = 0.0f;
    for (int i = 0; i < 60; ++i) {
        v = bench.frame(intensity, kFrame);
    }
    EXPECT_NEAR(v, 0.09f, 1e-5f) << "0.18 × level per second";
    bench.setAccumLevel(AudioFeature::VU, 0.1f);
    EXPECT_NEAR(bench.frame(intensity, 0.25f), v * (1.0f - 1.56f * 0.25f), 1e-6f);
    bench.setAccumLevel(AudioFeature::VU, 1.0f);
    for (int i = 0; i < 400; ++i) {
        v = bench.frame(intensity, 0.5f);
    }
    EXPECT_EQ(v, 1.0f);
}

TEST(VUFadeToBlack, FadesInFastWithSoundAndOutSlowlyInSilence) {
    ScalarBench bench;
    VUFadeToBlack fade;
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(bench.frame(fade, kFrame), 0.0f) << "silence at neutral reactivity";
    }
    // At reactivity 0 the fade sees full level: 9 per second, full after 7 frames.
    const auto calm = ScalarBench::controls(0.0f);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_NEAR(bench.frame(fade, kFrame, calm), 0.15f * static_cast<float>(i), 1e-6f);
    }
    EXPECT_EQ(bench.frame(fade, kFrame, calm), 1.0f);
    EXPECT_FLOAT_EQ(bench.frame(fade, 0.5f), 1.0f - 0.3f * 0.5f);
}

TEST(PresenceComponent, IsScaledDownBelowAFifthOfNeutralReactivity) {
    const struct {
        float reactivity;
        float presence;
    } cases[] = {{0.05f, 0.25f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        ScalarBench bench;
        PresenceComponent presence(AudioFeature::HighVU);
        bench.push(AudioFeature::HighVU, 0.5f); // a flat mean of 0.5 in the range [0, 1]
        float v = 0.0f;
        for (int i = 0; i < 30 * 60; ++i) {
            v = bench.frame(presence, kFrame, ScalarBench::controls(c.reactivity));
        }
        EXPECT_NEAR(v, c.presence, 2e-3f) << "reactivity " << c.reactivity;
    }
}

namespace {
void countCall(void* context) {
    ++*static_cast<int*>(context);
}
} // namespace

TEST(PresenceComponent, ReadsOneWhileTheMeanLevelRisesAboveItsRange) {
    ScalarBench bench;
    PresenceComponent presence(AudioFeature::BassVU);
    bench.push(AudioFeature::BassVU, 2.0f); // the smoothed mean passes the range's top (1) at 1 s
    float v = 0.0f;
    for (int i = 0; i < 50; ++i) {
        v = bench.frame(presence, kFrame);
    }
    EXPECT_GT(v, 0.5f);
    EXPECT_LT(v, 1.0f);
    for (int i = 0; i < 30; ++i) {
        bench.frame(presence, kFrame);
    }
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(bench.frame(presence, kFrame), 1.0f) << "frame " << i;
    }
}

TEST(ThresholdDecayComponent, FiresOnceWhenTheDevianceOutgrowsARelaxedThreshold) {
    ScalarBench bench;
    // About 6.16 standard deviations in each of the four bands: 0.001 × 24.66² ≈ 0.61.
    for (int i = 0; i < 38; ++i) {
        bench.algos().highVU = bench.algos().midVU = bench.algos().midHighVU =
            bench.algos().bassVU = 0.0f;
        bench.push();
    }
    bench.algos().highVU = bench.algos().midVU = bench.algos().midHighVU = bench.algos().bassVU =
        1.0f;
    bench.push();
    ThresholdDecayComponent threshold;
    int calls = 0;
    threshold.setCallback(countCall, &calls);
    const float e = threshold.getDevianceValue(bench.layer());
    ASSERT_GT(e, 0.6f);
    ASSERT_LT(e, 0.62f);

    threshold.setThreshold(0.95f);
    EXPECT_LT(bench.frame(threshold, kFrame), 0.95f);
    EXPECT_EQ(calls, 0) << "a threshold still above 0.9 never fires";

    threshold.setThreshold(0.5f);
    EXPECT_EQ(bench.frame(threshold, kFrame), 1.0f);
    EXPECT_EQ(calls, 1);
    EXPECT_LT(bench.frame(threshold, kFrame), 1.0f);
    EXPECT_EQ(calls, 1);
}

TEST(ThresholdDecayComponent, RelaxesFromOneInSilenceWithoutFiring) {
    ScalarBench bench;
    ThresholdDecayComponent threshold;
    int calls = 0;
    threshold.setCallback(countCall, &calls);
    EXPECT_EQ(threshold.getValue(), 1.0f);
    float v = 1.0f;
    for (int i = 0; i < 60 * 12; ++i) {
        v = bench.frame(threshold, kFrame);
    }
    EXPECT_NEAR(v, 0.4867f, 1e-3f);
    EXPECT_EQ(calls, 0);
    threshold.reset();
    EXPECT_EQ(threshold.getThreshold(), 1.0f);
}
