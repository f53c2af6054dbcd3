#include "korvala/components/spectral/Spectrum2DComponent.h"

#include "SpectralStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Korvala::Spectrum2DComponent;

TEST(Spectrum2DComponent, MapsPowerToTwoTenthsOfItsDecadeAtNeutralReactivity) {
    struct Case {
        float power;
        float expected;
        float tolerance;
    };
    const Case cases[] = {
        {1.0f, 1.0f, 0.0f},
        {0.001f, 0.4f, 1e-6f},
        {100.0f, 1.4f, 1e-6f}, // no upper limit
        {1e-5f, 0.0f, 1e-6f},
        {0.0f, 0.0f, 1e-6f},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f, 1e-6f},
        {-3.0f, 0.0f, 1e-6f},
    };
    SpectralStore s;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        s.power()[i] = cases[i].power;
    }
    Spectrum2DComponent spectrum;
    const std::vector<float> out =
        spectrum.update(&s.layer, 0.016f, SpectralStore::reactivity(0.5f));
    ASSERT_EQ(out.size(), 1024u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_NEAR(out[i], cases[i].expected, cases[i].tolerance) << "power " << cases[i].power;
    }
    EXPECT_EQ(spectrum.getValue(), out);
}

TEST(Spectrum2DComponent, ReactivityShapesTheCurve) {
    SpectralStore s;
    s.power()[0] = 1.0f;   // y = 1
    s.power()[1] = 0.001f; // y = 0.4, below the knee
    s.power()[2] = 0.1f;   // y = 0.8, above the knee
    Spectrum2DComponent spectrum;

    const std::vector<float> silent =
        spectrum.update(&s.layer, 0.0f, SpectralStore::reactivity(0.0f));
    EXPECT_EQ(silent, std::vector<float>(1024, 0.0f));

    // Below neutral: scaled by the cube root of 2r.
    const std::vector<float> calm =
        spectrum.update(&s.layer, 0.0f, SpectralStore::reactivity(0.25f));
    EXPECT_FLOAT_EQ(calm[0], std::cbrt(0.5f));

    // Full reactivity: the quadratic below 0.721, the line 0.5y + 0.5 above.
    const std::vector<float> lively =
        spectrum.update(&s.layer, 0.0f, SpectralStore::reactivity(1.0f));
    EXPECT_FLOAT_EQ(lively[0], 1.0f);
    EXPECT_NEAR(lively[1], (0.4 * 2.05 + 1.0) / 5.5, 1e-6);
    EXPECT_NEAR(lively[2], 0.9, 1e-6);

    // Half way above neutral: half the way from y to the shaped curve.
    const std::vector<float> half =
        spectrum.update(&s.layer, 0.0f, SpectralStore::reactivity(0.75f));
    EXPECT_NEAR(half[2], 0.85, 1e-6);
}

TEST(Spectrum2DComponent, OutputTakesTheSpectrumLength) {
    SpectralStore s;
    Spectrum2DComponent spectrum;
    s.power().assign(16, 1.0f);
    EXPECT_EQ(spectrum.update(&s.layer, 0.0f, {}), std::vector<float>(16, 1.0f));
    s.power().clear();
    EXPECT_TRUE(spectrum.update(&s.layer, 0.0f, {}).empty());
}
