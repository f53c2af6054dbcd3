#include "korvala/store/DimensionStore2D.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(DimensionStore2D, FreshStoreReturnsFullZeroMatrixForEveryType) {
    DimensionStore2D store(22, 1024);
    for (int t = 0; t <= 4; ++t) {
        const auto data = store.getDimensionData(static_cast<dimensionType>(t));
        ASSERT_EQ(data.size(), 22u);
        for (const auto& row : data) {
            ASSERT_EQ(row.size(), 1024u);
            for (float v : row) {
                ASSERT_EQ(v, 0.0f);
            }
        }
    }
}

TEST(DimensionStore2D, RowsEndWithTheAddedColumnsOldestFirst) {
    DimensionStore2D store(3, 1024);
    store.add({1, 2, 3});
    store.add({4, 5, 6});
    store.add({7, 8, 9});
    const auto raw = store.getDimensionData(dimensionType::Raw);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(raw[i][1021], static_cast<float>(1 + i));
        EXPECT_EQ(raw[i][1022], static_cast<float>(4 + i));
        EXPECT_EQ(raw[i][1023], static_cast<float>(7 + i));
        EXPECT_EQ(raw[i][1020], 0.0f);
    }
    const auto mean = store.getDimensionData(dimensionType::Mean);
    EXPECT_EQ(mean[1], store.band(1)->getMeanBuffer()->toVector());
}

TEST(DimensionStore2D, InvalidSelectorGivesZeros) {
    DimensionStore2D store(2, 4);
    store.add({1, 1});
    EXPECT_EQ(store.getDimensionData(static_cast<dimensionType>(4))[0],
              (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(store.getDimensionData(static_cast<dimensionType>(-1))[0],
              (std::vector<float>{0, 0, 0, 0}));
}

TEST(DimensionStore2D, SurplusValuesRaiseAfterUpdatingTheBandsBeforeThem) {
    DimensionStore2D store(2, 4);
    EXPECT_THROW(store.add({1, 2, 3}), std::out_of_range);
    EXPECT_EQ(store.band(0)->getRaw(), 1.0f);
    EXPECT_EQ(store.band(1)->getRaw(), 2.0f);

    store.add({5});
    EXPECT_EQ(store.band(0)->getRaw(), 5.0f);
    EXPECT_EQ(store.band(1)->getDimensionBuffer()->count(), 1);
    store.add({});
    EXPECT_EQ(store.band(0)->getDimensionBuffer()->count(), 2);
}
