#include "korvala/components/scalar/Accumulator.h"
#include "korvala/components/scalar/BPMToTimer.h"
#include "korvala/components/scalar/ClampedScalarUnitNormalize.h"
#include "korvala/components/scalar/Incrementor.h"
#include "korvala/components/scalar/LogScale.h"
#include "korvala/components/scalar/MagnitudeDecibelScale.h"
#include "korvala/components/scalar/MusicalFrequencyLogScale.h"
#include "korvala/components/scalar/ScalarUnitNormalize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
}

TEST(Accumulator, PeakLosesItsRatePerSixtiethOfASecondScaledByFrameTime) {
    for (const auto& [dt, expected] : {std::pair{1.0f / 60.0f, 0.98f}, {1.0f / 30.0f, 0.96f}}) {
        Accumulator peak(0.98f);
        peak.setValue(1.0f);
        EXPECT_NEAR(peak.update(0.0f, dt), expected, 1e-6f) << "dt " << dt;
        EXPECT_EQ(peak.update(0.97f, dt), 0.97f) << "a larger input is taken at once";
    }
}

TEST(Accumulator, HalfLifeSmootherClosesHalfTheDistanceInAboutOneSecond) {
    Accumulator smooth = Accumulator::createWithHalfLife(1.0f, AccumulatorType::Smooth);
    EXPECT_NEAR(1.0f - smooth.getDecay(), 0.0115524530f, 1e-9f);
    float v = 0.0f;
    for (int i = 0; i < 60; ++i) {
        v = smooth.update(1.0f, 1.0f / 60.0f);
    }
    EXPECT_GT(v, 0.5f);
    EXPECT_LT(v, 0.503f);
}

TEST(Accumulator, TroughNeverExceedsItsLatestInputAndDefaultDecayIsFixed) {
    Accumulator trough(0.9f, AccumulatorType::Trough);
    trough.setValue(0.2f);
    for (float input : {0.5f, 0.3f, 0.05f, 0.4f}) {
        EXPECT_LE(trough.update(input, 1.0f / 60.0f), input);
    }
    trough.setDecay(0.5f);
    EXPECT_FLOAT_EQ(trough.getDefaultDecay(), 0.9f);
    EXPECT_FLOAT_EQ(trough.getDecay(), 0.5f);
}

TEST(Incrementor, AddsAmountTimesTimeTimesSevenAndAHalfTimesSpeed) {
    Incrementor inc;
    EXPECT_EQ(inc.update(2.0f, 0.5f, 0.4f), 3.0f);
    EXPECT_EQ(inc.update(1.0f, 1.0f, 0.0f), 3.0f);
    inc.setValue(0.0f);
    EXPECT_EQ(inc.update(1.0f, 0.25f, 2.0f), 3.75f);
}

TEST(BPMToTimer, WrapsOnceAboveOneButKeepsAPhaseOfExactlyOne) {
    BPMToTimer timer;
    timer.setValue(0.9f);
    EXPECT_EQ(timer.update(120.0f, 0.25f, 1.0f), (0.9f + 0.5f) - 1.0f);
    timer.setValue(0.5f);
    EXPECT_EQ(timer.update(120.0f, 0.25f, 1.0f), 1.0f);
    timer.setValue(0.0f);
    EXPECT_EQ(timer.update(120.0f, 0.25f, 4.0f), 0.125f);
}

// At 30 frames per second a tempo of 220 on the ×16 step advances the phase by
// almost two cycles per frame; the phase must still stay within one cycle.
TEST(BPMToTimer, PhaseStaysWithinOneCycleWhenAFrameSpansSeveralCycles) {
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(220.0f, 1.0f);
    ASSERT_EQ(tempo, 3520.0f);
    const float dt = 1.0f / 30.0f;
    BPMToTimer timer;
    double exact = 0.0;
    for (int frame = 1; frame <= 300; ++frame) {
        const float phase = timer.update(tempo, dt, 1.0f);
        exact += 3520.0 * static_cast<double>(dt) / 60.0;
        ASSERT_GE(phase, 0.0f) << "frame " << frame;
        ASSERT_LE(phase, 1.0f) << "frame " << frame;
        const double apart = std::fabs(phase - (exact - std::floor(exact)));
        EXPECT_LT(std::min(apart, 1.0 - apart), 2e-4) << "frame " << frame;
    }
}

TEST(BPMToTimer, AudioSpeedLadderScalesTheTempo) {
    const struct {
        float speed;
        float bpm;
    } cases[] = {
        {0.0f, 0.0f},
        {0.0001f, 0.0f},
        {0.00011f, 15.0f},
        {0.0625f, 15.0f},
        {0.0626f, 30.0f},
        {0.125f, 30.0f},
        {0.25f, 60.0f},
        {0.26f, 120.0f},
        {0.5f, 120.0f},
        {0.74f, 120.0f},
        {0.75f, 240.0f},
        {0.875f, 480.0f},
        {0.9375f, 960.0f},
        // 0.9999f lies just below 0.9999 once widened to double: not yet ×16.
        {0.9999f, 960.0f},
        {1.0f, 1920.0f},
        {kNaN, 120.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BPMToTimer::doBPMAudioSpeedAdjustment(120.0f, c.speed), c.bpm)
            << "audio speed " << c.speed;
    }
}

TEST(BPMToTimer, ReactivityMuteSilencesBelowOneThousandth) {
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, 0.0009f), 0.0f);
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, 0.001f), 0.8f);
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, 0.0f), 0.0f);
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, kNaN), 0.8f);
}

TEST(ScaleClasses, MapValuesOntoTheirScales) {
    EXPECT_EQ(LogScale::calculate(3.0f, 2.0f), 1.0f);
    EXPECT_EQ(LogScale::calculate(0.0f, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(MagnitudeDecibelScale::calculate(100.0f), 20.0f);
    EXPECT_NEAR(MagnitudeDecibelScale::calculate(0.0f), -379.298f, 1e-3f);
    EXPECT_EQ(MusicalFrequencyLogScale::calculate(440.0f), 0.0f);
    EXPECT_EQ(MusicalFrequencyLogScale::calculate(880.0f), 1.0f);
    EXPECT_EQ(MusicalFrequencyLogScale::calculate(220.0f), -1.0f);
    EXPECT_TRUE(std::isfinite(MusicalFrequencyLogScale::calculate(0.0f)));
    EXPECT_EQ(ScalarUnitNormalize::calculate(2.0f, 0.0f, 4.0f), 0.5f);
    EXPECT_EQ(ClampedScalarUnitNormalize::calculate(5.0f, 5.0f, 5.0f), 0.0f);
    EXPECT_EQ(ClampedScalarUnitNormalize::calculate(6.0f, 0.0f, 5.0f), 1.0f);
    EXPECT_EQ(ClampedScalarUnitNormalize::calculate(-1.0f, 0.0f, 5.0f), 0.0f);
    EXPECT_EQ(ClampedScalarUnitNormalize::calculate(2.0f, 0.0f, 4.0f), 0.5f);
}

TEST(ScaleClassesDeathTest, OutOfDomainInputStopsWithTheFailedCondition) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(MagnitudeDecibelScale::calculate(-1.0f),
                 "\\(magnitude >= 0\\), function calculate, file MagnitudeDecibelScale, line 17");
    EXPECT_DEATH(MagnitudeDecibelScale::calculate(kNaN), "magnitude >= 0");
    EXPECT_DEATH(
        MusicalFrequencyLogScale::calculate(-0.5f),
        "\\(frequency >= 0\\), function calculate, file MusicalFrequencyLogScale, line 12");
    EXPECT_DEATH(ScalarUnitNormalize::calculate(5.0f, 0.0f, 4.0f),
                 "\\(value >= min && value <= max\\), function calculate, file "
                 "ScalarUnitNormalize, line 12");
    EXPECT_DEATH(ScalarUnitNormalize::calculate(-1.0f, 0.0f, 4.0f), "value >= min");
    EXPECT_DEATH(ScalarUnitNormalize::calculate(1.0f, kNaN, 4.0f), "value >= min");
}
