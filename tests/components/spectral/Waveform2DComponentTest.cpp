#include "korvala/components/spectral/Waveform2DComponent.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <limits>

using korvala::test::StoreRig;

TEST(Waveform2DComponent, MapsTheFirst1024SamplesOntoZeroToOneAroundAHalf) {
    struct Case {
        float reactivity, sample, expected;
    };
    const Case cases[] = {
        {0.5f, 0.0f, 0.5f},
        {0.5f, -1.0f, 0.0f},
        {0.5f, 1.0f, 1.0f},
        {0.5f, 0.25f, 0.625f},
        {0.5f, -4.0f, 0.0f},
        {1.0f, 0.5f, 1.0f},
        {1.0f, -0.25f, 0.25f},
        {0.0f, 1.0f, 0.5f},
        {0.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f},
    };
    for (const Case& c : cases) {
        StoreRig s;
        s.waveform()[1023] = c.sample;
        s.waveform()[1024] = 1.0f; // past the shown part
        Korvala::Waveform2DComponent waveform;
        const std::vector<float> out =
            waveform.update(&s.layer, 0.0f, StoreRig::reactivity(c.reactivity));
        ASSERT_EQ(out.size(), 1024u);
        EXPECT_EQ(out[1023], c.expected) << c.sample << " at reactivity " << c.reactivity;
    }
}

TEST(Waveform2DComponent, ShortBufferKeepsThePreviousOutput) {
    StoreRig s;
    Korvala::Waveform2DComponent waveform;
    s.waveform().assign(2048, 0.5f);
    const std::vector<float> before = waveform.update(&s.layer, 0.0f, {});
    EXPECT_EQ(before, std::vector<float>(1024, 0.75f));
    s.waveform().assign(1023, -1.0f);
    EXPECT_EQ(waveform.update(&s.layer, 0.0f, {}), before);
}
