#include "tools/korvala/LastHalfMedian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using korvala::cli::LastHalfMedian;

namespace {
// The median of the values at positions [n/2, n) that are multiples of stride.
float expectedMedian(const std::vector<float>& values, std::uint64_t stride) {
    std::vector<float> window;
    for (std::size_t i = values.size() / 2; i < values.size(); ++i) {
        if (i % stride == 0) {
            window.push_back(values[i]);
        }
    }
    std::sort(window.begin(), window.end());
    const std::size_t mid = window.size() / 2;
    return window.size() % 2 == 1
               ? window[mid]
               : static_cast<float>((double(window[mid - 1]) + double(window[mid])) / 2.0);
}
} // namespace

TEST(LastHalfMedian, IsExactWhileTheLastHalfFits) {
    LastHalfMedian median(64);
    EXPECT_FALSE(median.median().has_value());
    std::vector<float> values;
    for (int n = 0; n < 128; ++n) {
        // A scrambled sequence, so sorting matters.
        values.push_back(static_cast<float>((n * 37) % 101) * 0.5f);
        median.add(values.back());
        ASSERT_EQ(median.stride(), 1u);
        ASSERT_EQ(median.median(), expectedMedian(values, 1)) << "after " << values.size();
    }
}

TEST(LastHalfMedian, EndlessRunsKeepBoundedMemoryAndAnEvenSample) {
    LastHalfMedian median(16);
    std::vector<float> values;
    for (int n = 0; n < 5000; ++n) {
        values.push_back(static_cast<float>((n * 7919) % 1009));
        median.add(values.back());
        ASSERT_LE(median.kept(), 16u);
        ASSERT_EQ(median.median(), expectedMedian(values, median.stride()))
            << "after " << values.size() << ", stride " << median.stride();
    }
    EXPECT_GE(median.stride(), 128u);
}
