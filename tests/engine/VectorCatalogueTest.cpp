#include "korvala/engine/AudioComponentController.h"
#include "korvala/store/DSPStore.h"

#include <gtest/gtest.h>

TEST(VectorCatalogue, EachTimeSeriesFollowsItsOwnFeature) {
    DSPStore store;
    Korvala::AudioComponentController controller;
    controller.setStore(&store);
    store.getPersistentData()->getDimension1D(AudioFeature::BassVU)->add(1.0f);
    controller.updateComponents(1.0f / 60.0f);
    EXPECT_FLOAT_EQ(controller.getComponent2D("kor_BassTimeSeries")->getValue().back(), 0.6f);
    for (const char* other : {"kor_TimeSeries", "kor_MidTimeSeries", "kor_HighTimeSeries"}) {
        EXPECT_EQ(controller.getComponent2D(other)->getValue().back(), 0.0f) << other;
    }
    EXPECT_EQ(controller.getComponent2D("kor_SpectrumSmooth")->getValue().size(), 1024u);
}
