#include "korvala/dsp/features/BandLevels.h"
#include "korvala/dsp/features/Algorithm_VUBP.h"
#include "korvala/record/FrequencyBands.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace korvala::test;

namespace {
// Every level of `bands` over each spectrum in turn is bit for bit the
// single-band algorithm's.
void expectLevelsOfTheAlgorithm(const std::vector<Band>& bands,
                                const std::vector<std::vector<float>>& spectra) {
    BandLevels levels(bands, spectra[0].size(), 44100.0f);
    ASSERT_EQ(levels.bandCount(), bands.size());
    std::vector<float> out(bands.size(), -1.0f);
    for (const std::vector<float>& power : spectra) {
        levels.compute(power.data(), out.data());
        for (std::size_t i = 0; i < bands.size(); ++i) {
            const float want =
                Algorithm_VUBP::compute(power.data(), power.size(), bands[i], 44100.0f);
            ASSERT_EQ(bitsOf(out[i]), bitsOf(want))
                << bands.size() << " bands, " << bands[i].low << "-" << bands[i].high;
        }
    }
}
} // namespace

TEST(BandLevels, EveryLevelOfEveryMixOfBandsIsBitForBitThatOfTheSingleBandAlgorithm) {
    // The engine's tables with bands at the edges, empty and reversed ones;
    // then lists where many bands end on the same step, in the middle of a
    // group of four bins, or leave lanes idle: 1 to 60 bands of 0 to ~250 bins.
    std::vector<std::vector<Band>> lists = {{{0, 250},
                                             {4000, 22050},
                                             {0, 22050},
                                             {100, 110},
                                             {300, 200},
                                             {22040, 22050},
                                             {1000, 1001}}};
    for (const auto* table :
         {&kor::FrequencyBands::logScaleBPMBands, &kor::FrequencyBands::miniLogScaleFFTBands}) {
        lists[0].insert(lists[0].end(), table->begin(), table->end());
    }
    const std::vector<float> edges = uniformValues(600, 0.0f, 1.0f, 31);
    std::size_t e = 0;
    for (std::size_t count : {1u, 2u, 5u, 9u, 23u, 60u}) {
        lists.emplace_back();
        for (std::size_t i = 0; i < count; ++i) {
            const int low = static_cast<int>(edges[e++] * 17000.0f);
            const int width = i % 3 == 0 ? 64 : static_cast<int>(edges[e++] * 5000.0f);
            lists.back().push_back({low, low + width});
        }
    }
    for (const std::vector<Band>& bands : lists) {
        expectLevelsOfTheAlgorithm(bands, awkwardSpectra());
    }
    // A short spectrum: fewer bands than one side-by-side group, wide bins.
    expectLevelsOfTheAlgorithm({{0, 5000}, {5000, 22050}, {12000, 12001}},
                               {uniformValues(8, 0.0f, 2.0f, 9)});
}

TEST(BandLevels, BandsOutsideTheSpectrumAreRefusedWhenPlanned) {
    for (const Band band : {Band{-30, 100}, Band{0, 30000}, Band{0, 22040}, Band{22050, 22060}}) {
        const std::vector<float> power(1024, 1.0f);
        EXPECT_THROW(Algorithm_VUBP::compute(power.data(), 1024, band, 44100.0f),
                     std::out_of_range);
        EXPECT_THROW(BandLevels({{0, 250}, band}, 1024, 44100.0f), std::out_of_range)
            << band.low << "-" << band.high;
    }
}
