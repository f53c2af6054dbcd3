#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"

#include "SpectralStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using Korvala::SpectrumJuiced2DComponent;

namespace {
constexpr float kFloor = static_cast<float>(1.52588e-05);
constexpr int kFirstStepSlot = 870; // 88 one-bin groups fill 782..869

std::vector<float> warpedOf(const std::vector<float>& bins) {
    SpectrumJuiced2DComponent juiced;
    juiced.warpFrequencies(bins.data());
    return juiced.getWarped();
}
} // namespace

TEST(SpectrumJuiced2DComponent, WarpingStretchesLowBinsAndGroupsHighBins) {
    std::vector<float> bins(1024);
    for (int i = 0; i < 1024; ++i) {
        bins[i] = static_cast<float>(i);
    }
    const std::vector<float> warped = warpedOf(bins);
    ASSERT_EQ(warped.size(), 1024u);
    for (int slot = 0; slot <= 6; ++slot) {
        EXPECT_EQ(warped[slot], 0.0f);
    }
    EXPECT_EQ(warped[7], 1.0f);
    EXPECT_EQ(warped[781], 278.0f);
    EXPECT_EQ(warped[782], 279.0f);
    // Low slots hold consecutive bins, each for 7 slots down to 1.
    int run = 1;
    int lastRun = 7;
    for (int slot = 1; slot <= 782; ++slot) {
        if (slot < 782 && warped[slot] == warped[slot - 1]) {
            ++run;
            continue;
        }
        EXPECT_LE(run, lastRun) << "at slot " << slot;
        lastRun = run;
        run = 1;
        EXPECT_EQ(warped[slot], warped[slot - 1] + 1.0f) << "at slot " << slot;
    }
    EXPECT_EQ(lastRun, 1);

    // Bins 1016..1023 form the last group, alone in the last slot.
    std::vector<float> top(1024, 0.0f);
    for (int i = 1016; i < 1024; ++i) {
        top[i] = 8.0f;
    }
    const std::vector<float> topWarped = warpedOf(top);
    EXPECT_EQ(topWarped[1023], 8.0f);
    EXPECT_EQ(topWarped[1022], 0.0f);
    std::vector<float> below(1024, 0.0f);
    below[1015] = 1.0f;
    EXPECT_EQ(warpedOf(below)[1023], 0.0f);
}

TEST(SpectrumJuiced2DComponent, GroupsWidenSevenTimesAndTheFirstSlotOfAWiderGroupIsLarger) {
    // Equal inputs average to themselves, except where a group opens with the
    // share of the narrower group before it.
    const std::vector<float> warped = warpedOf(std::vector<float>(1024, 1.0f));
    int larger = 0;
    for (int slot = 782; slot < 1024; ++slot) {
        if (warped[slot] > 1.0f + 1e-5f) {
            ++larger;
        } else {
            EXPECT_NEAR(warped[slot], 1.0f, 1e-6f) << "slot " << slot;
        }
    }
    EXPECT_EQ(larger, 7);
    EXPECT_EQ(warped[kFirstStepSlot], 1.5f);
    EXPECT_EQ(warped[kFirstStepSlot - 1], 1.0f);
}

TEST(SpectrumJuiced2DComponent, SilentSpectrumFillsEverySlotWithTheCleanFloor) {
    SpectralStore s;
    SpectrumJuiced2DComponent juiced;
    const std::vector<float> out = juiced.update(&s.layer, 0.0f, {});
    const std::vector<float>& warped = juiced.getWarped();
    for (int slot = 0; slot < kFirstStepSlot; ++slot) {
        ASSERT_EQ(warped[slot], kFloor) << "slot " << slot;
    }
    EXPECT_EQ(warped[kFirstStepSlot], kFloor + kFloor / 2.0f);
    EXPECT_FLOAT_EQ(juiced.getAccumulator(), 0.0001f);
    // The floor sits at 2^-16, the bottom of the log scale.
    for (int slot = 0; slot < kFirstStepSlot - 8; ++slot) {
        ASSERT_NEAR(out[slot], 0.0f, 1e-6f) << "slot " << slot;
    }

    // After a loud frame, silence pulls the curve down 30 % of the way per frame.
    s.power().assign(1024, 1.0f);
    const std::vector<float> loud = juiced.update(&s.layer, 0.0f, {});
    s.power().assign(1024, 0.0f);
    const std::vector<float> falling = juiced.update(&s.layer, 0.0f, {});
    for (int slot : {0, 100, 400, 700}) {
        ASSERT_GT(loud[slot], 0.1f);
        EXPECT_NEAR(falling[slot], 0.7f * loud[slot], 1e-6f) << "slot " << slot;
    }
}

TEST(SpectrumJuiced2DComponent, BinsAreNormalisedAgainstThePeakSoFarInBinOrder) {
    SpectralStore s;
    s.power()[0] = 0.5f;   // 0.3: the peak so far, so 1
    s.power()[100] = 1.0f; // 0.6: raises the peak
    s.power()[278] = 0.5f; // 0.3 over 0.6
    SpectrumJuiced2DComponent juiced;
    juiced.update(&s.layer, 0.0f, {});
    const std::vector<float>& warped = juiced.getWarped();
    EXPECT_EQ(warped[0], 1.0f);
    EXPECT_EQ(warped[781], 0.5f * std::exp(278.0f * 0.0009765625f * 9.0f));
    EXPECT_FLOAT_EQ(juiced.getAccumulator(), 0.6f);

    // Powers past 1/0.6 clamp to 1 before normalising.
    s.power()[0] = 100.0f;
    juiced.update(&s.layer, 0.0f, {});
    EXPECT_EQ(juiced.getAccumulator(), 1.0f);
    EXPECT_EQ(juiced.getWarped()[0], 1.0f);
}

TEST(SpectrumJuiced2DComponent, AccumulatorDecaysSlowlyAndNeverBelowItsFloor) {
    SpectrumJuiced2DComponent juiced;
    juiced.doAccumulatorDecay();
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);

    EXPECT_EQ(juiced.cleanDataAndDoAccumulatorNormalization(1.0f), 1.0f);
    for (int frame = 0; frame < 1000; ++frame) {
        juiced.doAccumulatorDecay();
    }
    EXPECT_NEAR(juiced.getAccumulator(), 0.6 * std::pow(0.99999, 1000), 1e-5);
    for (int frame = 0; frame < 2000000; ++frame) {
        juiced.doAccumulatorDecay();
    }
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);
    // Below the clean floor a power leaves the peak alone.
    EXPECT_EQ(juiced.cleanDataAndDoAccumulatorNormalization(1e-6f), kFloor);
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);
}

TEST(SpectrumJuiced2DComponent, RiseAndFallRatesFollowReactivity) {
    struct Case {
        float reactivity;
        float rise;
        float fall;
    };
    const Case cases[] = {{0.0f, 0.11f, 0.1f}, {0.5f, 0.5f, 0.3f}, {1.0f, 0.89f, 0.5f}};
    for (const Case& c : cases) {
        SpectrumJuiced2DComponent juiced;
        juiced.setReactivity(c.reactivity);
        EXPECT_EQ(juiced.doTimeSmoothing(0.0f, 1.0f), c.rise) << c.reactivity;
        EXPECT_EQ(juiced.doTimeSmoothing(1.0f, 0.0f), 1.0f - c.fall) << c.reactivity;
    }
}

TEST(SpectrumJuiced2DComponent, LogScaleMapsTheFloorToZeroAndOneToOne) {
    SpectrumJuiced2DComponent juiced;
    EXPECT_NEAR(juiced.doMagToDecibel(std::ldexp(1.0f, -16)), 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(juiced.doMagToDecibel(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(juiced.doMagToDecibel(2.0f), 1.0625f);
}

TEST(SpectrumJuiced2DComponent, BlurRepeatsTheEdgesAndReachesSevenSlots) {
    // Low bins at 1 (log value 1), high bins at the floor (log value 0).
    std::vector<float> bins(1024, std::ldexp(1.0f, -16));
    std::fill(bins.begin(), bins.begin() + 279, 1.0f);
    SpectrumJuiced2DComponent juiced;
    juiced.warpFrequencies(bins.data());
    juiced.blurXAxis();
    const std::vector<float> out = juiced.getValue();
    // Rising from 0 at neutral reactivity covers half the way.
    EXPECT_NEAR(out[0], 0.5f, 1e-6f);
    EXPECT_NEAR(out[781 - 7], 0.5f, 1e-6f);
    EXPECT_NEAR(out[781 + 7], 0.5f * 4.9639998e-06f, 1e-7f);
    EXPECT_NEAR(out[781 + 8], 0.0f, 1e-7f);
    EXPECT_NEAR(out[1023], 0.0f, 1e-7f);
}

TEST(SpectrumJuiced2DComponent, SpectrumOfAnotherLengthKeepsThePreviousOutput) {
    SpectralStore s;
    s.power().assign(1024, 0.5f);
    SpectrumJuiced2DComponent juiced;
    const std::vector<float> before = juiced.update(&s.layer, 0.0f, {});
    const float peak = juiced.getAccumulator();
    for (std::size_t length : {0u, 512u, 1025u, 2048u}) {
        s.power().assign(length, 1.0f);
        EXPECT_EQ(juiced.update(&s.layer, 0.0f, {}), before) << length;
        EXPECT_EQ(juiced.getAccumulator(), peak);
    }
}
