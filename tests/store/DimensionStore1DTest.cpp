#include "korvala/store/DimensionStore1D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {
constexpr float kSmallestNormal = std::numeric_limits<float>::min();
}

TEST(DoubleRingBuffer, WindowReadsOldestFirstWithLeadingZeros) {
    DoubleRingBuffer<float> ring(4);
    EXPECT_EQ(ring.latest(), 0.0f);
    ring.push(1.0f);
    ring.push(2.0f);
    EXPECT_EQ(ring.toVector(), (std::vector<float>{0, 0, 1, 2}));
    EXPECT_EQ(ring.count(), 2);
    for (float v : {3.0f, 4.0f, 5.0f}) {
        ring.push(v);
    }
    EXPECT_EQ(ring.toVector(), (std::vector<float>{2, 3, 4, 5}));
    EXPECT_EQ(ring.latest(), 5.0f);
    EXPECT_EQ(ring.leaving(), 2.0f);
    EXPECT_EQ(ring.count(), 4);
}

TEST(DimensionStore1D, FreshStoreReadsZeroAndTheFirstValueHasZeroDevianceAndIsThePeak) {
    DimensionStore1D store(173);
    EXPECT_EQ(store.getAccumulator(), kSmallestNormal);
    for (float value : {0.0f, 0.7f}) {
        if (value > 0.0f) {
            store.add(value);
        }
        EXPECT_EQ(store.getRaw(), value);
        EXPECT_EQ(store.getMean(), value);
        EXPECT_EQ(store.getStdDev(), 0.0f);
        EXPECT_EQ(store.getDeviance(), 0.0f);
        EXPECT_EQ(store.getAccumulatorNormalized(), value > 0.0f ? 1.0f : 0.0f);
    }
    EXPECT_EQ(store.getAccumulator(), 0.7f);
}

TEST(DimensionStore1D, StatisticsCoverOnlyTheValuesInTheWindow) {
    DimensionStore1D three(3);
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f}) {
        three.add(v);
    }
    EXPECT_EQ(three.getMean(), 3.0f);
    EXPECT_EQ(three.getDimensionBuffer()->toVector(), (std::vector<float>{2, 3, 4}));
    // Population standard deviation of {2, 3, 4}.
    EXPECT_FLOAT_EQ(three.getStdDev(), std::sqrt(2.0f / 3.0f));

    DimensionStore1D four(4);
    four.add(1.0f);
    four.add(2.0f);
    EXPECT_EQ(four.getDimensionBuffer()->toVector(), (std::vector<float>{0, 0, 1, 2}));
    EXPECT_EQ(four.getMean(), 1.5f);
}

TEST(DimensionStore1D, ConstantInputIsFlatBeforeAndAfterTheWindowFillsAndNormalisesToZero) {
    DimensionStore1D store(5);
    for (int i = 0; i < 12; ++i) {
        store.add(0.3f);
        EXPECT_EQ(store.getMean(), 0.3f) << "after value " << i;
        EXPECT_EQ(store.getDeviance(), 0.0f) << "after value " << i;
    }
    EXPECT_EQ(store.getClampedAutoNormalized(), 0.0f);
}

TEST(DimensionStore1D, DevianceCountsStandardDeviationsAboveTheMean) {
    DimensionStore1D store(173);
    for (int i = 0; i < 100; ++i) {
        store.add(i % 2 == 0 ? 0.0f : 1.0f);
    }
    store.add(2.0f);
    const float mean = store.getMean();
    const float sd = store.getStdDev();
    EXPECT_GT(sd, 0.4f);
    EXPECT_EQ(store.getDeviance(), (2.0f - mean) / sd);
}

TEST(DimensionStore1D, PeakDecaysByTheStepFactorPerBlock) {
    DimensionStore1D store(173);
    store.add(1.0f);
    float expected = 1.0f;
    for (int k = 1; k <= 50; ++k) {
        store.add(0.0f);
        expected = static_cast<float>(static_cast<double>(expected) * 0.9995);
        ASSERT_EQ(store.getAccumulator(), expected) << "after " << k << " zeros";
        ASSERT_EQ(store.getAccumulatorNormalized(), 0.0f);
    }
}

TEST(DimensionStore1D, PeakNeverReachesZeroInSilence) {
    DimensionStore1D store(8);
    store.add(kSmallestNormal);
    for (int k = 0; k < 200000; ++k) {
        store.add(0.0f);
    }
    EXPECT_GT(store.getAccumulator(), 0.0f);
    EXPECT_EQ(store.getAccumulatorNormalized(), 0.0f);
}

TEST(DimensionStore1D, NonFiniteValuesEnterAsSilenceAndLeaveNoTrace) {
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    DimensionStore1D poisoned(8);
    DimensionStore1D clean(8);
    for (int i = 0; i < 20; ++i) {
        const float v = 0.1f * static_cast<float>(i % 5);
        const bool bad = i >= 3 && i < 6;
        poisoned.add(bad ? hostile[i - 3] : v);
        clean.add(bad ? 0.0f : v);
        ASSERT_TRUE(std::isfinite(poisoned.getMean()));
        ASSERT_TRUE(std::isfinite(poisoned.getStdDev()));
        ASSERT_TRUE(std::isfinite(poisoned.getDeviance()));
        ASSERT_TRUE(std::isfinite(poisoned.getAccumulatorNormalized()));
    }
    EXPECT_EQ(poisoned.getMean(), clean.getMean());
    EXPECT_EQ(poisoned.getStdDev(), clean.getStdDev());
}

// Values of scale 1e4 leave their float rounding in the running sum of
// squares; once they have left the window, the statistics describe the values
// in it again: small noise reads its own deviation, whether the leftover
// rounding was large (1e4), or the values were huge enough for their squares to
// overflow a float (1e20).
TEST(DimensionStore1D, AfterHugeValuesLeaveTheWindowItsDeviationIsTheWindowsOwn) {
    for (const float scale : {1e4f, 1e20f}) {
        DimensionStore1D store(173);
        std::uint32_t state = 1;
        auto uniform = [&state] { // in [-1, 1)
            state = state * 1664525u + 1013904223u;
            return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
        };
        for (int i = 0; i < 400; ++i) {
            store.add(scale * (1.5f + uniform()));
        }
        std::vector<double> noise;
        for (int i = 0; i < 173; ++i) {
            noise.push_back(0.005 * static_cast<double>(uniform()));
            store.add(static_cast<float>(noise.back()));
        }
        double sum = 0.0;
        double squares = 0.0;
        for (double v : noise) {
            sum += v;
            squares += v * v;
        }
        const double mean = sum / 173.0;
        const double sd = std::sqrt(squares / 173.0 - mean * mean);
        EXPECT_NEAR(store.getMean(), mean, 1e-9) << "scale " << scale;
        EXPECT_NEAR(store.getStdDev(), sd, 1e-3 * sd) << "scale " << scale;
    }
}
