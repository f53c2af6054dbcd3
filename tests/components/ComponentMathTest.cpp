#include "korvala/components/AudioComponent.h"
#include "korvala/components/AudioComponent2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Korvala::AudioComponent;
using Korvala::AudioComponent2D;

TEST(ComponentMath, MixNeverExtrapolates) {
    EXPECT_EQ(AudioComponent::mix(0, 10, 1.5f), 10.0f);
    EXPECT_EQ(AudioComponent::mix(0, 10, -1), 0.0f);
    EXPECT_EQ(AudioComponent2D::mix(2, 4, 0.5f), 3.0f);
}

TEST(ComponentMath, MixFormsTheProductOfBInFloatAndTheRestInDouble) {
    // b·t rounded to float, then (1 − t)·a added in double and rounded once.
    const float a = 0.1f, b = 0.7f, t = 0.3f;
    const float bt = b * t;
    const float expected = static_cast<float>(
        static_cast<double>(bt) + (1.0 - static_cast<double>(t)) * static_cast<double>(a));
    EXPECT_EQ(AudioComponent::mix(a, b, t), expected);
}

TEST(ComponentMath, StepAndClampEdges) {
    EXPECT_EQ(AudioComponent::step(0.5f, 0.5f), 1.0f);
    EXPECT_EQ(AudioComponent::step(0.5f, 0.4f), 0.0f);
    EXPECT_EQ(AudioComponent::step(0.5f, std::numeric_limits<float>::quiet_NaN()), 1.0f);
    EXPECT_TRUE(std::isnan(AudioComponent::clamp(std::numeric_limits<float>::quiet_NaN(), 0, 1)));
    EXPECT_EQ(AudioComponent::clamp(-2, 0, 1), 0.0f);
    EXPECT_EQ(AudioComponent::clamp(2, 0, 1), 1.0f);
}

TEST(ComponentMath, SmoothstepIsClampedHermite) {
    EXPECT_EQ(AudioComponent2D::smoothstep(0, 1, 0.5f), 0.5f);
    EXPECT_EQ(AudioComponent2D::smoothstep(0, 1, 2), 1.0f);
    EXPECT_EQ(AudioComponent2D::smoothstep(0, 1, -1), 0.0f);
}
