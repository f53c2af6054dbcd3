#include "korvala/components/scalar/Accumulator.h"
#include "korvala/components/scalar/BPMToTimer.h"
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

TEST(Accumulator, PeakLosesItsRatePerSixtiethOfASecondAndJumpsToLargerInput) {
    for (const auto& [dt, expected] : {std::pair{1.0f / 60.0f, 0.98f}, {1.0f / 30.0f, 0.96f}}) {
        Accumulator peak(0.98f);
        peak.setValue(1.0f);
        EXPECT_NEAR(peak.update(0.0f, dt), expected, 1e-6f) << "dt " << dt;
        EXPECT_EQ(peak.update(0.97f, dt), 0.97f);
    }
    Accumulator smooth = Accumulator::createWithHalfLife(1.0f, AccumulatorType::Smooth);
    for (int i = 0; i < 59; ++i) {
        smooth.update(1.0f, 1.0f / 60.0f);
    }
    EXPECT_LT(smooth.getValue(), 0.5f);
    EXPECT_GT(smooth.update(1.0f, 1.0f / 60.0f), 0.5f) << "half way after 60 frames, not 59";
}

TEST(BPMToTimer, WrapsAboveOneButKeepsAPhaseOfExactlyOne) {
    BPMToTimer timer;
    timer.setValue(0.9f);
    EXPECT_EQ(timer.update(120.0f, 0.25f, 1.0f), (0.9f + 0.5f) - 1.0f);
    timer.setValue(0.5f);
    EXPECT_EQ(timer.update(120.0f, 0.25f, 1.0f), 1.0f);
}

// 220 BPM on the ×16 step at 30 frames per second: almost two cycles per frame.
TEST(BPMToTimer, PhaseStaysWithinOneCycleWhenAFrameSpansSeveralCycles) {
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(220.0f, 1.0f);
    BPMToTimer timer;
    double exact = 0.0;
    for (int frame = 1; frame <= 300; ++frame) {
        const float phase = timer.update(tempo, 1.0f / 30.0f, 1.0f);
        exact += 3520.0 * static_cast<double>(1.0f / 30.0f) / 60.0;
        ASSERT_TRUE(phase >= 0.0f && phase <= 1.0f) << "frame " << frame << ": " << phase;
        const double apart = std::fabs(phase - (exact - std::floor(exact)));
        EXPECT_LT(std::min(apart, 1.0 - apart), 2e-4) << "frame " << frame;
    }
}

TEST(BPMToTimer, AudioSpeedLadderAndReactivityMute) {
    // 0.9999f widened to double lies just below 0.9999: still the ×8 step.
    const std::pair<float, float> ladder[] = {{0.0f, 0.0f},     {0.0001f, 0.0f},  {0.0625f, 15.0f},
                                              {0.0626f, 30.0f}, {0.25f, 60.0f},   {0.5f, 120.0f},
                                              {0.75f, 240.0f},  {0.875f, 480.0f}, {0.9999f, 960.0f},
                                              {1.0f, 1920.0f},  {kNaN, 120.0f}};
    for (const auto& [speed, bpm] : ladder) {
        EXPECT_EQ(BPMToTimer::doBPMAudioSpeedAdjustment(120.0f, speed), bpm) << speed;
    }
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, 0.0009f), 0.0f);
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, 0.001f), 0.8f);
    EXPECT_EQ(BPMToTimer::doReactivityMute(0.8f, kNaN), 0.8f);
}

TEST(ScaleClassesDeathTest, OutOfDomainInputStopsWithTheFailedCondition) {
    EXPECT_EQ(MusicalFrequencyLogScale::calculate(220.0f), -1.0f);
    EXPECT_NEAR(MagnitudeDecibelScale::calculate(0.0f), -379.298f, 1e-3f);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(MagnitudeDecibelScale::calculate(kNaN),
                 "\\(magnitude >= 0\\), function calculate, file MagnitudeDecibelScale, line 17");
    EXPECT_DEATH(
        MusicalFrequencyLogScale::calculate(-0.5f),
        "\\(frequency >= 0\\), function calculate, file MusicalFrequencyLogScale, line 12");
    EXPECT_DEATH(ScalarUnitNormalize::calculate(5.0f, 0.0f, 4.0f),
                 "\\(value >= min && value <= max\\), function calculate, file "
                 "ScalarUnitNormalize, line 12");
}
