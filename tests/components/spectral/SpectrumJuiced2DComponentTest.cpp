#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"

#include "korvala/components/spectral/ReactivityCurve.h"
#include "tests/support/Signals.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using korvala::test::StoreRig;

using Korvala::SpectrumJuiced2DComponent;

namespace {
const float kFloor = static_cast<float>(1.52588e-05);
} // namespace

TEST(SpectrumJuiced2DComponent, BinsAreNormalisedAgainstThePeakSoFarInBinOrder) {
    StoreRig s;
    s.power()[0] = 0.5f;   // 0.3: the loudest so far, so 1
    s.power()[100] = 1.0f; // 0.6: raises the peak
    s.power()[278] = 0.5f; // 0.3 over 0.6, then boosted
    SpectrumJuiced2DComponent juiced;
    juiced.update(&s.layer, 0.0f, {});
    EXPECT_EQ(juiced.getWarped()[0], 1.0f);
    EXPECT_EQ(juiced.getWarped()[781], 0.5f * std::exp(278.0f * 0.0009765625f * 9.0f));
    EXPECT_EQ(juiced.getAccumulator(), 0.6f);
}

TEST(SpectrumJuiced2DComponent, PeakDecaysByAHundredThousandthPerFrameDownToItsFloor) {
    SpectrumJuiced2DComponent juiced;
    juiced.doAccumulatorDecay();
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);
    EXPECT_EQ(juiced.cleanDataAndDoAccumulatorNormalization(100.0f), 1.0f); // clamped to 1
    for (int frame = 0; frame < 1000; ++frame) {
        juiced.doAccumulatorDecay();
    }
    EXPECT_NEAR(juiced.getAccumulator(), std::pow(0.99999, 1000), 1e-4);
    for (int frame = 0; frame < 1000000; ++frame) {
        juiced.doAccumulatorDecay();
    }
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);
    EXPECT_EQ(juiced.cleanDataAndDoAccumulatorNormalization(1e-6f), kFloor);
    EXPECT_EQ(juiced.getAccumulator(), 0.0001f);
}

TEST(SpectrumJuiced2DComponent, SpectrumOfAnotherLengthKeepsThePreviousOutput) {
    StoreRig s;
    s.power().assign(1024, 0.5f);
    SpectrumJuiced2DComponent juiced;
    const std::vector<float> before = juiced.update(&s.layer, 0.0f, {});
    for (std::size_t length : {0u, 512u, 1025u}) {
        s.power().assign(length, 1.0f);
        EXPECT_EQ(juiced.update(&s.layer, 0.0f, {}), before) << length;
        EXPECT_EQ(juiced.getAccumulator(), 0.3f);
    }
}

namespace {
// One frame exactly as the curve is defined, bin by bin and slot by slot with
// the double comparisons, the running group state and a logarithm per slot.
struct JuicedReference {
    float accumulator = std::numeric_limits<float>::min();
    std::vector<float> values = std::vector<float>(1024, 0.0f);

    void frame(const std::vector<float>& power, float r) {
        const float gain = 2.0f * r;
        accumulator = std::max(accumulator * 0.99999f, 0.0001f);
        std::vector<float> warped(1024, 0.0f);
        int s = 0;
        int k = 1;
        int g = 279;
        for (int i = 0; i < 1024; ++i) {
            const float p = std::isnan(power[i]) ? 0.0f : power[i];
            float x = static_cast<float>(1.52588e-05);
            if (static_cast<double>(p) >= 1.52588e-05) {
                const float q = std::min(static_cast<float>(0.6 * static_cast<double>(p)), 1.0f);
                accumulator = std::max(accumulator, q);
                x = q / accumulator;
            }
            if (static_cast<double>(x) >= 0.0001) {
                x = x * std::exp(static_cast<float>(i) * 0.0009765625f * 9.0f);
            }
            if (i < 279) {
                const float d = static_cast<float>((279 - i) * (279 - i));
                for (int c = static_cast<int>(std::ceil(d * 8.5e-05f)); c > 0; --c) {
                    warped[s++] = x;
                }
                continue;
            }
            const int w = static_cast<int>(std::ceil(static_cast<float>(k * k) * 0.0001275f));
            if (i - g < w) {
                warped[s] = warped[s] + x / static_cast<float>(w);
            } else {
                warped[++s] = x / static_cast<float>(w);
                ++k;
                g = i;
            }
        }
        const float kernel[8] = {0.26596153f,   0.21296534f,   0.10934005f,    0.035993978f,
                                 0.0075973240f, 0.0010281859f, 8.9220201e-05f, 4.9639998e-06f};
        const auto rise = static_cast<float>((1.0 - gain) * -0.39 + 0.5);
        const auto fall = static_cast<float>((1.0 - gain) * -0.2 + 0.3);
        std::vector<float> next(1024);
        for (int i = 0; i < 1024; ++i) {
            float sum = 0.0f;
            for (int o = -7; o <= 7; ++o) {
                const float v = warped[static_cast<std::size_t>(std::clamp(i + o, 0, 1023))];
                const auto d = static_cast<float>(
                    (static_cast<double>(std::log(v)) / 0.6931471806 + 16.0) * 0.0625);
                sum = sum + d * kernel[std::abs(o)];
            }
            const float y =
                gain <= 1.0f ? sum * std::sqrt(gain) : Korvala::ReactivityCurve::lively(sum, gain);
            const float prev = values[i];
            next[i] = y > prev ? static_cast<float>(static_cast<double>(y * rise) +
                                                    (1.0 - static_cast<double>(rise)) * prev)
                               : prev - (prev - y) * fall;
        }
        values = next;
    }
};
} // namespace

namespace {
// A power p with float(0.6 · p) == q exactly.
float powerScalingTo(float q) {
    float p = q / 0.6f;
    while (static_cast<float>(0.6 * static_cast<double>(p)) < q) {
        p = std::nextafter(p, 1.0f);
    }
    while (static_cast<float>(0.6 * static_cast<double>(p)) > q) {
        p = std::nextafter(p, 0.0f);
    }
    return p;
}
} // namespace

TEST(SpectrumJuiced2DComponent, MatchesTheCurveDefinitionBitForBit) {
    StoreRig s;
    SpectrumJuiced2DComponent juiced;
    JuicedReference reference;
    const float reactivities[] = {0.5f, 1.0f, 0.3f, 0.8f, 0.0f, 0.65f};
    const float floor = static_cast<float>(1.52588e-05);
    unsigned seed = 1;
    for (float r : reactivities) {
        // Powers over −60 dB to +10 dB, with silent runs, NaN and the values
        // on either side of the clean and augment thresholds.
        const std::vector<float> db = korvala::test::uniformValues(1024, -60.0f, 10.0f, seed++);
        for (std::size_t i = 0; i < 1024; ++i) {
            s.power()[i] = i % 97 < 30 ? 0.0f : std::pow(10.0f, db[i] / 10.0f);
        }
        s.power()[300] = std::nanf("");
        s.power()[301] = floor;
        s.power()[302] = std::nextafter(floor, 0.0f);
        s.power()[303] = std::nextafter(floor, 1.0f);
        // With the peak at 1 from bin 0, bins 60 and 61 normalise to the floats
        // just above and just below 1e-4, one boosted and one not.
        s.power()[0] = 2.0f;
        s.power()[60] = powerScalingTo(std::nextafter(0.0001f, 1.0f));
        s.power()[61] = powerScalingTo(0.0001f);
        reference.frame(s.power(), r);
        const std::vector<float> out = juiced.update(&s.layer, 0.0f, StoreRig::reactivity(r));
        for (std::size_t i = 0; i < 1024; ++i) {
            ASSERT_EQ(out[i], reference.values[i]) << "reactivity " << r << " slot " << i;
        }
        EXPECT_EQ(juiced.getAccumulator(), reference.accumulator);
    }
}
