#include "korvala/components/spectral/TimeSeries2DComponent.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

using korvala::test::StoreRig;

TEST(TimeSeries2DComponent, NewestValueMovesSixtyPercentTowardsTwiceTheNormalisedLevel) {
    StoreRig s;
    DimensionStore1D* level = s.store.getPersistentData()->getDimension1D(AudioFeature::VU);
    level->add(1.0f);
    Korvala::TimeSeries2DComponent series(AudioFeature::VU);
    std::vector<float> out = series.getValue();
    for (float newest : {0.6f, 0.84f, 0.936f, 0.9744f}) {
        level->add(0.5f); // about half the decaying peak: doubled, it reaches 1
        const float previous = out.back();
        out = series.update(&s.layer, 0.0f, {});
        ASSERT_EQ(out.size(), 400u);
        EXPECT_FLOAT_EQ(out.back(), newest);
        EXPECT_EQ(out[398], previous);
    }
}
