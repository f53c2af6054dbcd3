#include "korvala/components/spectral/TimeSeries2DComponent.h"

#include "SpectralStore.h"

#include <gtest/gtest.h>

using Korvala::TimeSeries2DComponent;

TEST(TimeSeries2DComponent, NewestValueMovesSixtyPercentTowardsTheDoubledLevel) {
    SpectralStore s;
    TimeSeries2DComponent series(AudioFeature::VU);
    EXPECT_EQ(series.getValue(), std::vector<float>(400, 0.0f));

    const float expected[] = {0.6f, 0.84f, 0.936f, 0.9744f};
    std::vector<float> out;
    for (float newest : expected) {
        s.store.getPersistentData()->getDimension1D(AudioFeature::VU)->add(1.0f);
        const std::vector<float> previous = out;
        out = series.update(&s.layer, 0.0f, {});
        ASSERT_EQ(out.size(), 400u);
        EXPECT_FLOAT_EQ(out.back(), newest);
        if (!previous.empty()) {
            EXPECT_EQ(out[398], previous.back()) << "the history moves one place per frame";
        }
    }
    EXPECT_EQ(series.getValue(), out);
}

TEST(TimeSeries2DComponent, ReadsItsOwnFeatureAtTwiceTheNormalisedLevel) {
    SpectralStore s;
    DimensionStore1D* bass = s.store.getPersistentData()->getDimension1D(AudioFeature::BassVU);
    bass->add(1.0f);
    bass->add(0.25f); // a quarter of the decaying peak (0.9995)
    TimeSeries2DComponent bassSeries(AudioFeature::BassVU);
    TimeSeries2DComponent levelSeries(AudioFeature::VU);
    EXPECT_NEAR(bassSeries.update(&s.layer, 0.0f, {}).back(), 0.6 * 0.5 / 0.9995, 1e-6);
    EXPECT_EQ(levelSeries.update(&s.layer, 0.0f, {}).back(), 0.0f);
}
