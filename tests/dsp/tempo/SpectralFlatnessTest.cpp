#include "korvala/dsp/tempo/SpectralFlatness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(SpectralFlatness, ConstantIsFlatAndASingleBinIsPeaky) {
    using kor::StaticAlgorithm::SpectralFlatness;
    EXPECT_NEAR(SpectralFlatness::calculate(std::vector<float>(1024, 0.37f)), 1.0f, 1e-5f);
    std::vector<float> single(1024, 0.0f);
    single[100] = 1.0f;
    EXPECT_LT(SpectralFlatness::calculate(single), 1e-30f);
    EXPECT_TRUE(std::isnan(SpectralFlatness::calculate({})));
    // Non-positive values count as the smallest normal float, not as log(0).
    const float flatness = SpectralFlatness::calculate({0.0f, 1.0f});
    EXPECT_GT(flatness, 0.0f);
    EXPECT_NEAR(flatness, std::sqrt(1.17549435e-38f) / 0.5f, 1e-22f);
}
