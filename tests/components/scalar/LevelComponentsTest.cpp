#include "korvala/components/scalar/AccumulatorComponent.h"
#include "korvala/components/scalar/ThresholdDecayComponent.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

using korvala::test::StoreRig;

namespace {
constexpr float kFrame = 1.0f / 60.0f;
}

TEST(AccumulatorComponent, DoublesTheLevelAndRetunesItsDecayByReactivity) {
    // {reactivity, value on a level of 0.25, after one silent frame}
    const float cases[][3] = {{0.5f, 0.5f, 0.5f * 0.98f},
                              {1.0f, 0.5f, 0.5f * 0.9f},
                              {0.125f, 0.25f, 0.25f * 0.99125f},
                              {0.0f, 0.0f, 0.0f}};
    for (const auto& [reactivity, jump, decayed] : cases) {
        StoreRig bench;
        AccumulatorComponent level(AudioFeature::BassVU);
        bench.setAccumLevel(&KorAlgosOut::bassVU, 0.25f);
        EXPECT_FLOAT_EQ(bench.frame(level, kFrame, reactivity), jump) << reactivity;
        bench.push(&KorAlgosOut::bassVU, 0.0f);
        EXPECT_NEAR(bench.frame(level, kFrame, reactivity), decayed, 2e-7f) << reactivity;
    }
}

TEST(ThresholdDecayComponent, FiresOnceWhenTheDevianceOutgrowsARelaxedThreshold) {
    StoreRig bench;
    // 6.16 deviations in each of the four bands: 0.001 × 24.66² ≈ 0.61.
    for (int i = 0; i < 38; ++i) {
        bench.push(&KorAlgosOut::bassVU, 0.0f);
    }
    for (auto field : {&KorAlgosOut::highVU, &KorAlgosOut::midVU, &KorAlgosOut::midHighVU}) {
        bench.record.getAlgosOut().*field = 1.0f;
    }
    bench.push(&KorAlgosOut::bassVU, 1.0f);
    ThresholdDecayComponent threshold;
    int calls = 0;
    threshold.setCallback([](void* n) { ++*static_cast<int*>(n); }, &calls);
    ASSERT_NEAR(threshold.getDevianceValue(&bench.layer), 0.6f, 0.02f);
    threshold.setThreshold(0.95f);
    EXPECT_LT(bench.frame(threshold, kFrame), 0.95f);
    threshold.setThreshold(0.5f);
    EXPECT_EQ(bench.frame(threshold, kFrame), 1.0f);
    EXPECT_LT(bench.frame(threshold, kFrame), 1.0f);
    EXPECT_EQ(calls, 1);
}
