// The single-feature algorithms are the reference the fused block pass is
// compared with bit for bit (BlockFeaturesTest, BandLevelsTest), on inputs
// that reach every branch the engine can; here only the inputs the engine never
// gives them.
#include "korvala/dsp/features/Algorithm_Centroid.h"
#include "korvala/dsp/features/Algorithm_RMS.h"
#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

TEST(LevelAlgorithms, NoInputIsNaNAndAFluxSpectrumLongerThanTheLastIsRefused) {
    EXPECT_TRUE(std::isnan(Algorithm_RMS::compute(nullptr, 0)));
    EXPECT_TRUE(std::isnan(Algorithm_Centroid::compute(nullptr, 0, 44100.0f)));
    Algorithm_Spectral_Flux flux;
    const std::vector<float> longer(1025, 1.0f);
    EXPECT_EQ(flux.compute(longer.data(), 1024), 0.0f); // the first block has no rise
    EXPECT_THROW(flux.compute(longer.data(), 1025), std::out_of_range);
    EXPECT_EQ(Algorithm_Spectral_Flux::absoluteValueToMagnitude(3.0f), 36.0f);
}
