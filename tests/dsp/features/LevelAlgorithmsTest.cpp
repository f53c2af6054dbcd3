#include "korvala/dsp/features/Algorithm_Centroid.h"
#include "korvala/dsp/features/Algorithm_HFC.h"
#include "korvala/dsp/features/Algorithm_RMS.h"
#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"
#include "korvala/dsp/features/Algorithm_VU.h"
#include "korvala/dsp/features/Algorithm_VUBP.h"
#include "korvala/dsp/tempo/SpectralFlatness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kBinWidth = 21.533203125f;

// A power spectrum whose every bin holds a different value, so a level that
// reads the wrong bin cannot come out right.
std::vector<float> distinctPowers() {
    std::vector<float> p(1024);
    for (std::size_t k = 0; k < p.size(); ++k) {
        p[k] = 1.0f + static_cast<float>((k * 37) % 101) * 0.25f;
    }
    return p;
}

float band(const std::vector<float>& p, int low, int high) {
    float out = -1.0f;
    Algorithm_VUBP::transform(p, {low, high}, 44100.0f, &out);
    return out;
}
} // namespace

TEST(Algorithm_VU, PeakIsTheLargestPositiveFiniteSample) {
    const struct {
        std::vector<float> samples;
        float peak;
    } table[] = {{{-0.9f, -0.2f, -0.5f}, 0.0f},
                 {{0.5f, kInf, 0.5f}, 0.5f},
                 {{kNaN, 0.3f, -kInf, 0.1f}, 0.3f},
                 {{}, 0.0f},
                 {{-1.0f, 0.25f, 0.75f, 0.5f}, 0.75f}};
    KorDSPData record;
    for (const auto& row : table) {
        Algorithm_VU::transform(row.samples, &record);
        EXPECT_EQ(record.getAlgosOut().vu, row.peak);
    }
}

TEST(Algorithm_RMS, RootMeanSquareAndNaNForNoSamples) {
    KorDSPData record;
    Algorithm_RMS::transform({3.0f, -4.0f}, &record);
    EXPECT_EQ(record.getAlgosOut().rms, std::sqrt(12.5f));
    Algorithm_RMS::transform({}, &record);
    EXPECT_TRUE(std::isnan(record.getAlgosOut().rms));
}

TEST(Algorithm_VUBP, WorkedBandsReadTheBinsTheirEdgesFallIn) {
    const std::vector<float> p = distinctPowers();
    float low = 0.0f;
    for (int k = 0; k <= 10; ++k) {
        low += p[static_cast<std::size_t>(k)];
    }
    // 0–250 Hz: bins 0..10 plus 0.609977 of the bin after bin 11.
    EXPECT_NEAR(band(p, 0, 250), (low + 0.609977f * p[12]) / 11.0f, 1e-5f);
    float high = 0.0f;
    for (std::size_t k = 185; k < 1024; ++k) {
        high += p[k];
    }
    // 4000–22050 Hz reaches the end of the spectrum: no upper term.
    EXPECT_NEAR(band(p, 4000, 22050), (high - 0.759637f * p[185]) / 839.0f, 1e-4f);
    EXPECT_EQ(band(p, 24, 31), p[1]);
    EXPECT_EQ(band(std::vector<float>(1024, 0.0f), 0, 250), 0.0f);
}

TEST(Algorithm_VUBP, BandsBeyondTheSpectrumAreRejected) {
    const std::vector<float> p = distinctPowers();
    EXPECT_THROW(band(p, 22100, 22200), std::out_of_range); // starts past the last bin
    EXPECT_THROW(band(p, 1000, 22040), std::out_of_range);  // top bin has no bin after it
    EXPECT_THROW(band(p, -100, 250), std::out_of_range);    // starts before bin 0
    EXPECT_NO_THROW(band(p, 1000, 22000));
}

TEST(Algorithm_VUBP, NaNLevelIsWrittenAsZero) {
    std::vector<float> p = distinctPowers();
    p[5] = kNaN;
    EXPECT_EQ(band(p, 0, 250), 0.0f);
    EXPECT_EQ(band(p, 250, 1000), band(distinctPowers(), 250, 1000));
}

TEST(Algorithm_HFC, WeightsEachMagnitudeByItsBinCentre) {
    KorDSPData record;
    std::vector<float> m(1024, 0.0f);
    Algorithm_HFC::transform(m, 44100.0f, &record);
    EXPECT_EQ(record.getAlgosOut().hfc, 0.0f);
    m[10] = 2.0f;
    Algorithm_HFC::transform(m, 44100.0f, &record);
    EXPECT_FLOAT_EQ(record.getAlgosOut().hfc, 10.5f * kBinWidth * 2.0f);
}

TEST(Algorithm_Centroid, WeightsBinKByOneBinAboveItsLowerEdge) {
    KorDSPData record;
    std::vector<float> m(1024, 0.0f);
    Algorithm_Centroid::transform(m, 44100.0f, &record);
    EXPECT_TRUE(std::isnan(record.getAlgosOut().centroid));
    Algorithm_Centroid::transform({}, 44100.0f, &record);
    EXPECT_TRUE(std::isnan(record.getAlgosOut().centroid));
    m[10] = 3.0f;
    Algorithm_Centroid::transform(m, 44100.0f, &record);
    EXPECT_FLOAT_EQ(record.getAlgosOut().centroid, 11.0f * kBinWidth);
    m[20] = 3.0f;
    Algorithm_Centroid::transform(m, 44100.0f, &record);
    EXPECT_FLOAT_EQ(record.getAlgosOut().centroid, 16.0f * kBinWidth);
}

TEST(Algorithm_Spectral_Flux, CountsOnlyRisesOfFourTimesTheSquaredMagnitude) {
    Algorithm_Spectral_Flux flux;
    KorDSPData record;
    const std::vector<float> loud(1024, 2.0f);
    flux.transform(loud, &record);
    EXPECT_EQ(record.getAlgosOut().spectralFlux, 0.0f); // first block
    flux.transform(loud, &record);
    EXPECT_EQ(record.getAlgosOut().spectralFlux, 0.0f); // unchanged
    flux.transform(std::vector<float>(1024, 1.0f), &record);
    EXPECT_EQ(record.getAlgosOut().spectralFlux, 0.0f); // quieter everywhere
    std::vector<float> rise(1024, 1.0f);
    rise[3] = 3.0f;
    rise[700] = 0.5f;
    flux.transform(rise, &record);
    EXPECT_EQ(record.getAlgosOut().spectralFlux, 4.0f * 9.0f - 4.0f);
    EXPECT_THROW(flux.transform(std::vector<float>(1025, 1.0f), &record), std::out_of_range);
    EXPECT_EQ(Algorithm_Spectral_Flux::halfWaveRectify(-2.0f), 0.0f);
    EXPECT_EQ(Algorithm_Spectral_Flux::absoluteValueToMagnitude(3.0f), 36.0f);
}

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
