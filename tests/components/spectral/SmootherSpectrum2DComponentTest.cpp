#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"

#include "korvala/components/ComponentMath.h"
#include "tests/support/Signals.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using korvala::test::StoreRig;

using Korvala::SmootherSpectrum2DComponent;

namespace {
// One frame exactly as the curve is defined: every band's logarithm taken at
// every point, every one of the 35 weights summed.
void referenceFrame(std::vector<float>& values, const std::vector<float>& bands, float r) {
    using namespace Korvala::ComponentMath;
    const float gain = 2.0f * r;
    const float power = std::pow(clamp(gain, 0.0f, 1.0f), 0.2f);
    const auto alpha = static_cast<float>(static_cast<double>(gain) * 0.35);
    for (int i = 0; i < 1024; ++i) {
        const float pos = static_cast<float>(i) / 1024.0f;
        const auto t =
            static_cast<float>(static_cast<double>(clamp(pos, 0.0f, 0.6f)) * 1.6666666666666667);
        const float range = mix(2.3f, 45.0f, t);
        float sum = 0.0f;
        float weightSum = 0.0f;
        for (int j = 0; j < 35; ++j) {
            const float v = std::max(std::isnan(bands[j]) ? 0.0f : bands[j], 1e-12f);
            const float level = clamp((std::log(v) * 4.3429446f + range) / range, 0.0f, 1.0f);
            const float d = static_cast<float>(i) - (static_cast<float>(j) * 33.0f + 16.0f);
            const float weight = j < 33 ? std::exp(-(d * d) / 696.96f) : 0.0f;
            sum = sum + level * weight;
            weightSum = weightSum + weight;
        }
        float mean = weightSum > 0.0f ? sum / weightSum : sum;
        if (static_cast<double>(mean) >= 1e-5) {
            mean = std::pow(static_cast<float>(i) * 0.0009765625f, 4.0f) * mean * 0.25f + mean;
        }
        const auto boost =
            static_cast<float>((static_cast<double>(clamp(pos, 0.5f, 0.75f)) - 0.5) * 4.0);
        const auto target =
            static_cast<float>(static_cast<double>(mean) * (1.0 + static_cast<double>(boost)));
        float next =
            static_cast<float>((1.0 - static_cast<double>(alpha)) * static_cast<double>(values[i]) +
                               static_cast<double>(target * alpha));
        if (gain <= 1.0f) {
            next = next * power;
        }
        values[i] = clamp(next, 0.0f, 1.0f);
    }
}
} // namespace

TEST(SmootherSpectrum2DComponent, MatchesTheCurveDefinitionBitForBit) {
    StoreRig s;
    SmootherSpectrum2DComponent smooth;
    std::vector<float> expected(1024, 0.0f);
    const float reactivities[] = {0.5f, 1.0f, 0.3f, 0.0f, 0.8f, 0.05f, 0.5f};
    unsigned seed = 1;
    for (float r : reactivities) {
        // Band powers spread over −70 dB to +10 dB.
        const std::vector<float> decibels = korvala::test::uniformValues(35, -70.0f, 10.0f, seed++);
        for (int j = 0; j < 35; ++j) {
            s.miniBands()[j] = std::pow(10.0f, decibels[j] / 10.0f);
        }
        referenceFrame(expected, s.miniBands(), r);
        ASSERT_EQ(smooth.update(&s.layer, 0.0f, StoreRig::reactivity(r)), expected) << r;
    }
}

TEST(SmootherSpectrum2DComponent, OversizedInputsLeaveTheOutputUnchanged) {
    StoreRig s;
    s.miniBands().assign(35, 1.0f);
    SmootherSpectrum2DComponent smooth;
    smooth.update(&s.layer, 0.0f, {});
    const std::vector<float> before = smooth.update(&s.layer, 0.0f, {});
    s.miniBands().assign(36, 1.0f);
    EXPECT_EQ(smooth.update(&s.layer, 0.0f, {}), before);
    s.miniBands().assign(35, 1.0f);
    s.power().assign(1025, 1.0f);
    EXPECT_EQ(smooth.update(&s.layer, 0.0f, {}), before);
}

TEST(SmootherSpectrum2DComponent, BandsAtExactlyFullOrSilentLevelMatchTheDefinitionBitForBit) {
    // Powers whose decibels sit on the edges the sums treat specially: exactly
    // 0 dB (level 1 everywhere), just under and over it, the 1e-12 floor, zero,
    // NaN, and just inside and outside −45 dB (level 0 everywhere).
    const float edges[] = {1.0f,
                           std::nextafter(1.0f, 0.0f),
                           std::nextafter(1.0f, 2.0f),
                           0.0f,
                           1e-12f,
                           std::nanf(""),
                           std::pow(10.0f, -4.5f),
                           std::pow(10.0f, -4.49f),
                           std::pow(10.0f, -4.51f)};
    StoreRig s;
    SmootherSpectrum2DComponent smooth;
    std::vector<float> expected(1024, 0.0f);
    for (int frame = 0; frame < 9; ++frame) {
        for (int j = 0; j < 35; ++j) {
            s.miniBands()[j] = edges[(j + frame) % 9];
        }
        referenceFrame(expected, s.miniBands(), 0.75f);
        ASSERT_EQ(smooth.update(&s.layer, 0.0f, StoreRig::reactivity(0.75f)), expected) << frame;
    }
}

TEST(SmootherSpectrum2DComponent, IsolatedBandsMatchTheDefinitionBitForBit) {
    // One band sounding among silent ones: far from it every point's sum is
    // built from the subnormal tails of its weights alone, and quiet levels
    // are 0 over the narrow ranges on the left.
    const float decibels[] = {20.0f, -1.0f, -30.0f, -44.0f};
    for (int band : {0, 5, 16, 31, 32}) {
        for (float db : decibels) {
            StoreRig s;
            SmootherSpectrum2DComponent smooth;
            std::vector<float> expected(1024, 0.0f);
            s.miniBands().assign(35, 0.0f);
            s.miniBands()[static_cast<std::size_t>(band)] = std::pow(10.0f, db / 10.0f);
            for (float r : {0.5f, 1.0f}) {
                referenceFrame(expected, s.miniBands(), r);
                ASSERT_EQ(smooth.update(&s.layer, 0.0f, StoreRig::reactivity(r)), expected)
                    << "band " << band << " at " << db << " dB";
            }
        }
    }
}
