#include "korvala/dsp/features/Algorithm_DominantFrequencies.h"
#include "korvala/dsp/tempo/ComplexFloat.h"
#include "korvala/dsp/tempo/MacleodEstimator.h"

#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <vector>

using namespace korvala::test;
using kor::ComplexFloat;
using kor::StaticAlgorithm::MacleodEstimator;

TEST(ComplexFloat, PhaseIsFoundByQuadrantInZeroToTwoPi) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        ComplexFloat value;
        float phase;
    } table[] = {{{1.0f, 0.0f}, 0.0f},        {{0.0f, 1.0f}, 1.5707964f},
                 {{-1.0f, 0.0f}, 3.1415927f}, {{0.0f, -1.0f}, 4.712389f},
                 {{1.0f, 1.0f}, 0.78539819f}, {{-1.0f, -1.0f}, 3.926991f},
                 {{1.0f, -1.0f}, 5.4977875f}, {{0.0f, 0.0f}, 0.0f}};
    for (const auto& row : table) {
        EXPECT_FLOAT_EQ(row.value.phase(), row.phase) << row.value;
    }
    EXPECT_TRUE(std::isnan(ComplexFloat(nan, 1.0f).phase()));
}

TEST(ComplexFloat, ScalesInDoublePrecisionAndPrintsBothParts) {
    const ComplexFloat third(1.0f / 3.0f, 0.0f);
    EXPECT_EQ((third * 3.0).real(), static_cast<float>(static_cast<double>(1.0f / 3.0f) * 3.0));
    EXPECT_EQ((ComplexFloat(1.0f, 0.0f) / 3.0).real(), static_cast<float>(1.0 / 3.0));
    const ComplexFloat product = ComplexFloat(1.0f, 2.0f) * ComplexFloat(3.0f, -1.0f);
    EXPECT_EQ(product.real(), 5.0f);
    EXPECT_EQ(product.imag(), 5.0f);
    std::ostringstream text;
    text << ComplexFloat(1.5f, -2.0f);
    EXPECT_EQ(text.str(), "real: 1.5 imag: -2");
}

TEST(MacleodEstimator, OffsetFollowsTheTiltBetweenNeighbours) {
    const ComplexFloat centre(1.0f, 0.0f);
    const ComplexFloat zero;
    // γ = 1 and γ = −1 give ±0.5.
    EXPECT_EQ(MacleodEstimator::calculate(zero, centre, {-1.0f, 0.0f}), 0.5f);
    EXPECT_EQ(MacleodEstimator::calculate({-1.0f, 0.0f}, centre, zero), -0.5f);
    EXPECT_EQ(MacleodEstimator::calculate(centre, centre, centre), 0.0f);
    EXPECT_EQ(MacleodEstimator::calculate(zero, zero, zero), 0.0f);
    EXPECT_GT(MacleodEstimator::calculate({0.5f, 0.0f}, centre, {0.1f, 0.0f}), 0.0f);
    EXPECT_LT(MacleodEstimator::calculate({0.1f, 0.0f}, centre, {0.5f, 0.0f}), 0.0f);
}

TEST(Algorithm_DominantFrequencies, StrongestBinFirstAndTheBinAboveMayFollow) {
    std::vector<float> mag(1024, 0.0f);
    std::vector<float> re(1024, 0.0f);
    mag[99] = 1.0f;
    mag[100] = 5.0f;
    mag[101] = 4.0f;
    mag[300] = 2.0f;
    re[99] = 1.0f;
    re[100] = 4.0f;
    re[101] = 2.0f;
    re[102] = 1.0f;
    re[300] = 1.0f;
    KorDSPData record;
    Algorithm_DominantFrequencies::transform(re, mag, 3, 44100.0f, &record, 0.0f);
    const std::vector<float>& f = record.getAlgosOut().dominantFrequencies;
    ASSERT_EQ(f.size(), 3u);
    const float scale = 43.06640625f;
    // δ = (2 − 1) / (8 − 1 − 2) = 0.2.
    EXPECT_FLOAT_EQ(f[0], (100.0f - 0.2f) * scale);
    // Only bins 99 and 100 are excluded, so 101 comes next, then 300.
    // At 101: δ = (1 − 4) / (4 − 4 − 1) = 3.
    EXPECT_EQ(f[1], 98.0f * scale);
    EXPECT_EQ(f[2], 300.0f * scale);
}

TEST(Algorithm_DominantFrequencies, SilenceGivesEveryPickAtBinZero) {
    std::vector<float> re(1024, 0.0f);
    re[0] = 1.0f;
    KorDSPData record;
    Algorithm_DominantFrequencies::transform(re, std::vector<float>(1024, 0.0f), 3, 44100.0f,
                                             &record, 0.0f);
    // δ = (0 − 1) / (2 − 1 − 0) = −1 at peak 0: |1 · scale|.
    EXPECT_EQ(record.getAlgosOut().dominantFrequencies, std::vector<float>(3, 43.06640625f));
    Algorithm_DominantFrequencies::transform(re, re, 0, 44100.0f, &record, 0.0f);
    EXPECT_TRUE(record.getAlgosOut().dominantFrequencies.empty());
    std::vector<float> longer(20, 0.0f);
    longer[15] = 1.0f;
    EXPECT_THROW(Algorithm_DominantFrequencies::transform(std::vector<float>(10, 1.0f), longer, 1,
                                                          44100.0f, &record, 0.0f),
                 std::out_of_range);
}

TEST(Algorithm_DominantFrequencies, PicksMatchAPlainScanOverEveryBinNotYetExcluded) {
    // The picks written out as defined: scan all bins for the first strictly
    // greater magnitude (from 0, excluded bins skipped), then exclude
    // peak − half − 1 … peak + half.
    const auto plain = [](const std::vector<float>& re, const std::vector<float>& mag, int count,
                          float width) {
        std::vector<bool> excluded(mag.size(), false);
        std::vector<float> out;
        const auto m = static_cast<std::int64_t>(mag.size());
        for (int pick = 0; pick < count; ++pick) {
            float best = 0.0f;
            std::int64_t peak = 0;
            for (std::int64_t i = 0; i < m; ++i) {
                if (mag[i] > best && !excluded[i]) {
                    best = mag[i];
                    peak = i;
                }
            }
            const std::int64_t left = peak == 0 ? 0 : peak - 1;
            const std::int64_t right = peak == m - 1 ? m - 1 : peak + 1;
            const float delta = (re[right] - re[left]) / (2.0f * re[peak] - re[left] - re[right]);
            out.push_back(std::fabs((static_cast<float>(peak) - delta) * (44100.0f / 1024.0f)));
            const auto half = static_cast<std::int64_t>(
                (static_cast<float>(peak) / static_cast<float>(m)) * width);
            for (std::int64_t i = std::max<std::int64_t>(0, peak - half - 1);
                 i <= std::min(m - 1, peak + half); ++i) {
                excluded[i] = true;
            }
        }
        return out;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const std::vector<float> re = uniformValues(1024, -1.0f, 1.0f, seed);
        // Few distinct levels: many ties, which the first bin must win.
        std::vector<float> mag = uniformValues(1024, 0.0f, 8.0f, seed + 50);
        for (float& v : mag) {
            v = std::floor(v);
        }
        mag[3 * seed] = nan;
        mag[1023] = 9.0f; // the last bin, past every full vector
        for (float width : {0.0f, 6.0f, 40.0f, -3.0f}) {
            for (int count : {1, 3, 12}) {
                std::vector<float> got;
                Algorithm_DominantFrequencies::compute(re.data(), 1024, mag.data(), 1024, count,
                                                       44100.0f, width, got);
                const std::vector<float> want = plain(re, mag, count, width);
                ASSERT_EQ(got.size(), want.size());
                for (std::size_t i = 0; i < got.size(); ++i) {
                    EXPECT_EQ(got[i], want[i]) << "seed " << seed << " width " << width << " count "
                                               << count << " pick " << i;
                }
            }
        }
    }
}
