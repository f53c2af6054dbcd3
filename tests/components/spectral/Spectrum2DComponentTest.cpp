#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using korvala::test::StoreRig;

TEST(Spectrum2DComponent, MapsPowerToTwoTenthsOfItsDecadeShapedByReactivity) {
    struct Case {
        float reactivity, power, expected, tolerance;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.5f, 1.0f, 1.0f, 0.0f},
        {0.5f, 0.001f, 0.4f, 1e-6f},
        {0.5f, 100.0f, 1.4f, 1e-6f},
        {0.5f, 0.0f, 0.0f, 1e-6f},
        {0.5f, nan, 0.0f, 1e-6f},
        {0.0f, 1.0f, 0.0f, 0.0f},
        {0.25f, 1.0f, std::cbrt(0.5f), 0.0f},
        // Full reactivity: the quadratic below y = 0.721, the line 0.5y + 0.5 above.
        {1.0f, 1.0f, 1.0f, 0.0f},
        {1.0f, 0.001f, 1.82f / 5.5f, 1e-6f},
        {1.0f, 0.1f, 0.9f, 1e-6f},
        {0.75f, 0.1f, 0.85f, 1e-6f},
    };
    for (const Case& c : cases) {
        StoreRig s;
        s.power()[7] = c.power;
        Korvala::Spectrum2DComponent spectrum;
        const std::vector<float> out =
            spectrum.update(&s.layer, 0.0f, StoreRig::reactivity(c.reactivity));
        ASSERT_EQ(out.size(), 1024u);
        EXPECT_NEAR(out[7], c.expected, c.tolerance) << c.power << " at " << c.reactivity;
        EXPECT_EQ(spectrum.getValue(), out);
    }
}

TEST(Spectrum2DComponent, OutputTakesTheSpectrumLength) {
    StoreRig s;
    Korvala::Spectrum2DComponent spectrum;
    s.power().assign(16, 1.0f);
    EXPECT_EQ(spectrum.update(&s.layer, 0.0f, {}), std::vector<float>(16, 1.0f));
    s.power().clear();
    EXPECT_TRUE(spectrum.update(&s.layer, 0.0f, {}).empty());
}

TEST(Spectrum2DComponent, PowersJustBelow1e5TakeTheFloorAndThoseAboveTheirOwnLogarithm) {
    // 1e-5f itself is below 1e-5 and is raised to 1e-5f: the same value.
    const float floor = 1e-5f;
    const float above = std::nextafter(floor, 1.0f);
    const float inputs[] = {std::nextafter(floor, 0.0f),
                            floor,
                            above,
                            0.0f,
                            -1.0f,
                            std::numeric_limits<float>::quiet_NaN()};
    const float expected[] = {std::log(floor), std::log(floor), std::log(above),
                              std::log(floor), std::log(floor), std::log(floor)};
    StoreRig s;
    s.power().assign(std::begin(inputs), std::end(inputs));
    Korvala::Spectrum2DComponent spectrum;
    const std::vector<float> out = spectrum.update(&s.layer, 0.0f, {});
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i], expected[i] * 0.08685889f + 1.0f) << inputs[i];
    }
}
