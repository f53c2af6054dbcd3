#include "ScalarBench.h"

#include "korvala/components/scalar/BassExpocurveAccum.h"
#include "korvala/components/scalar/BeatComponentHFC.h"
#include "korvala/components/scalar/BeatComponentRMS.h"
#include "korvala/components/scalar/BeatToFlipSwitch.h"
#include "korvala/components/scalar/BeatToIncrement.h"
#include "korvala/components/scalar/BeatToRandomLocation.h"
#include "korvala/components/scalar/OnsetDetector.h"
#include "korvala/components/scalar/PrimeAndBangStructureDetectorComponent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using korvala::test::ScalarBench;

namespace {
constexpr float kFrame = 1.0f / 60.0f;

// A history of silent RMS blocks, ready for spikes: each spike reads a deviance
// far above every onset threshold, each quiet block a slightly negative one.
void primeRms(ScalarBench& bench) {
    for (int i = 0; i < 20; ++i) {
        bench.push(AudioFeature::RMS, 0.0f);
    }
}
} // namespace

TEST(OnsetDetector, ThresholdIsOneAndAHalfDeviationsAtNeutralReactivity) {
    const struct {
        float reactivity;
        float deviance;
        bool onset;
    } cases[] = {
        {0.5f, 1.5f, true},   {0.5f, 1.49f, false}, {0.0f, 2.25f, true},
        {0.0f, 2.24f, false}, {1.0f, 0.75f, true},  {1.0f, 0.74f, false},
    };
    for (const auto& c : cases) {
        OnsetDetector onset(true);
        EXPECT_EQ(onset.detect(c.deviance, kFrame, c.reactivity), c.onset)
            << "deviance " << c.deviance << " at reactivity " << c.reactivity;
    }
}

TEST(OnsetDetector, StaysClosedForTwelveHundredthsOfASecond) {
    // Two onsets 0.10 s apart give one; 0.13 s apart, two (frames of 0.01 s).
    for (const auto& [gapFrames, expected] : {std::pair{10, 1}, {13, 2}}) {
        OnsetDetector onset(false);
        int onsets = 0;
        for (int frame = 0; frame <= gapFrames; ++frame) {
            const bool loud = frame == 0 || frame == gapFrames;
            onsets += onset.detect(loud ? 3.0f : 0.0f, 0.01f, 0.5f) ? 1 : 0;
        }
        EXPECT_EQ(onsets, expected) << gapFrames << " frames apart";
    }
}

TEST(BeatComponentRMS, PulsesOnOnsetsAndIsSilentAtReactivityZero) {
    ScalarBench bench;
    primeRms(bench);
    BeatComponentRMS onBeat;
    bench.push(AudioFeature::RMS, 1.0f);
    EXPECT_EQ(bench.frame(onBeat, kFrame), 1.0f);
    bench.push(AudioFeature::RMS, 0.0f);
    EXPECT_NEAR(bench.frame(onBeat, kFrame), 0.2f, 1e-6f) << "decay 0.2 at neutral reactivity";

    ScalarBench calmBench;
    primeRms(calmBench);
    BeatComponentRMS calm;
    calmBench.push(AudioFeature::RMS, 1.0f);
    EXPECT_EQ(calmBench.frame(calm, kFrame, ScalarBench::controls(0.0f)), 0.0f);
    EXPECT_NEAR(calmBench.frame(calm, kFrame, ScalarBench::controls(0.5f)), 0.2f, 1e-6f)
        << "the pulse ran on underneath the mute";
}

TEST(BeatToIncrement, CountsOnsetsAtLeastTwelveHundredthsApart) {
    for (const auto& [gapFrames, expected] : {std::pair{10, 1.0f}, {13, 2.0f}}) {
        ScalarBench bench;
        primeRms(bench);
        BeatToIncrement count;
        for (int frame = 0; frame <= gapFrames; ++frame) {
            const bool loud = frame == 0 || frame == gapFrames;
            bench.push(AudioFeature::RMS, loud ? 1.0f : 0.0f);
            bench.frame(count, 0.01f);
        }
        EXPECT_EQ(count.getValue(), expected) << gapFrames << " frames apart";
        count.reset();
        EXPECT_EQ(count.getValue(), 0.0f);
    }
}

TEST(BeatToIncrement, HoldsAtReactivityOrAudioSpeedZeroWhileItsDetectorRuns) {
    for (const auto& held : {ScalarBench::controls(0.0f), ScalarBench::controls(0.5f, 0.0f)}) {
        ScalarBench bench;
        primeRms(bench);
        BeatToIncrement count;
        bench.push(AudioFeature::RMS, 1.0f);
        EXPECT_EQ(bench.frame(count, 0.01f, held), 0.0f);
        // The held onset still closed the detector: a spike 0.05 s later is ignored.
        bench.push(AudioFeature::RMS, 0.0f);
        for (int i = 0; i < 4; ++i) {
            bench.frame(count, 0.01f);
        }
        bench.push(AudioFeature::RMS, 1.0f);
        EXPECT_EQ(bench.frame(count, 0.01f), 0.0f);
    }
}

TEST(BeatToFlipSwitch, FlipsItsTargetAndEasesFromWhereItStood) {
    ScalarBench bench;
    primeRms(bench);
    BeatToFlipSwitch toggle;
    // Before any onset it rises from 0 toward the initial target 1.
    float before = 0.0f;
    for (int i = 0; i < 5; ++i) {
        before = bench.frame(toggle, kFrame);
    }
    const auto c = [](float t) { return (1.0 / (1.0 + std::exp(-7.2 * t)) - 0.5) * 2.0; };
    EXPECT_NEAR(before, c(5.0 / 60.0), 1e-6);

    bench.push(AudioFeature::RMS, 1.0f);
    EXPECT_EQ(bench.frame(toggle, kFrame), before) << "the onset frame reads `from`";
    EXPECT_EQ(toggle.getFrom(), before);
    EXPECT_EQ(toggle.getTarget(), 0.0f);
    bench.push(AudioFeature::RMS, 0.0f);
    float v = before;
    for (int i = 0; i < 9; ++i) {
        v = bench.frame(toggle, kFrame);
    }
    EXPECT_NEAR(v, before * (1.0 - c(0.15)), 1e-6) << "about half way after 0.15 s";
    EXPECT_EQ(bench.frame(toggle, kFrame, ScalarBench::controls(0.0005f)), 0.0f) << "muted";

    bench.push(AudioFeature::RMS, 1.0f);
    const float from = bench.frame(toggle, kFrame);
    EXPECT_EQ(toggle.getTarget(), 1.0f);
    EXPECT_EQ(toggle.getFrom(), from);
}

TEST(BeatToRandomLocation, GlidesHalfWayToADrawnTargetInTheOnsetFrame) {
    bool sawNear = false;
    bool sawFar = false;
    for (unsigned seed = 1; seed <= 40 && !(sawNear && sawFar); ++seed) {
        ScalarBench bench;
        primeRms(bench);
        BeatToRandomLocation glide;
        const int quietFrames = static_cast<int>(seed % 20);
        float from = 0.0f;
        for (int i = 0; i < quietFrames; ++i) {
            from = bench.frame(glide, kFrame);
        }
        std::srand(seed);
        const float drawn = static_cast<float>(std::rand() % 1000) / 1000.0f;
        std::srand(seed);

        bench.push(AudioFeature::RMS, 1.0f);
        const float v = bench.frame(glide, kFrame);
        const bool near = std::fabs(static_cast<double>(drawn) - from) < 0.3;
        const float target =
            near ? static_cast<float>(std::fmod(static_cast<double>(from) + 0.5, 1.0)) : drawn;
        (near ? sawNear : sawFar) = true;
        EXPECT_EQ(glide.getFrom(), from);
        EXPECT_EQ(glide.getTarget(), target) << "seed " << seed;
        EXPECT_EQ(v, from + (target - from) / 2.0f) << "seed " << seed;
        EXPECT_GE(std::fabs(static_cast<double>(target) - from), 0.3 - 1e-6);
    }
    EXPECT_TRUE(sawNear);
    EXPECT_TRUE(sawFar);
}

TEST(BeatToRandomLocation, StopsMovingAtReactivityZero) {
    ScalarBench bench;
    primeRms(bench);
    BeatToRandomLocation glide;
    bench.frame(glide, kFrame);
    const float target = glide.getTarget();
    bench.push(AudioFeature::RMS, 1.0f);
    const float v = bench.frame(glide, kFrame, ScalarBench::controls(0.0f));
    EXPECT_EQ(glide.getTarget(), target);
    EXPECT_GT(v, 0.5f) << "still easing toward the old target";
}

TEST(BassExpocurveAccum, CurvesTheFollowedBassLevel) {
    EXPECT_EQ(BassExpocurveAccum::expoGrowth(0.0f, 250.0f), 0.0f);
    EXPECT_EQ(BassExpocurveAccum::expoGrowth(1.0f, 250.0f), 1.0f);
    EXPECT_NEAR(BassExpocurveAccum::expoGrowth(0.5f, 250.0f), (std::sqrt(250.0) - 1.0) / 249.0,
                1e-6);

    ScalarBench bench;
    BassExpocurveAccum curve;
    bench.setAccumLevel(AudioFeature::BassVU, 1.0f);
    EXPECT_EQ(bench.frame(curve, kFrame, ScalarBench::controls(1.0f)), 1.0f);
    EXPECT_EQ(bench.frame(curve, kFrame, ScalarBench::controls(0.0f)), 0.0f);
    bench.setAccumLevel(AudioFeature::BassVU, 0.5f);
    // The follower falls from 1 to 0.4 in half a second and takes the level 0.5.
    EXPECT_EQ(bench.frame(curve, 0.5f), BassExpocurveAccum::expoGrowth(0.5f, 250.0f));
}

TEST(BeatComponentHFC, PulsesWhenHighFrequencyAndFluxDeviancesAgree) {
    ScalarBench bench;
    for (int i = 0; i < 9; ++i) {
        bench.algos().hfc = bench.algos().spectralFlux = 0.0f;
        bench.push();
    }
    bench.algos().hfc = bench.algos().spectralFlux = 1.0f;
    bench.push(); // both deviances 3: product 9 against a threshold of 3 at neutral reactivity
    BeatComponentHFC hfc;
    EXPECT_EQ(bench.frame(hfc, kFrame), 1.0f);
    // The excess persists: the detector stays shut and the pulse decays.
    float v = 1.0f;
    for (int i = 0; i < 30; ++i) {
        const float next = bench.frame(hfc, kFrame);
        EXPECT_LT(next, v);
        v = next;
    }
}

TEST(PrimeAndBangStructureDetectorComponent, WaitsLongerForSmallerRises) {
    // VU deviance about 4, 3 and 2 standard deviations: bangs at 12, 30 and 60 s.
    const struct {
        int zeros;
        float bangAt;
    } cases[] = {{16, 12.0f}, {9, 30.0f}, {4, 60.0f}};
    const float dt = 0.125f;
    for (const auto& c : cases) {
        ScalarBench bench;
        PrimeAndBangStructureDetectorComponent bang;
        bench.spikeAfterSilence(AudioFeature::VU, c.zeros);
        float firstBang = -1.0f;
        int bangs = 0;
        for (int frame = 1; frame <= 100 * 8; ++frame) {
            if (bench.frame(bang, dt) == 1.0f) {
                firstBang = firstBang < 0.0f ? static_cast<float>(frame) * dt : firstBang;
                ++bangs;
            }
        }
        EXPECT_EQ(firstBang, c.bangAt) << c.zeros << " silent blocks";
        EXPECT_GE(bangs, 100 / static_cast<int>(c.bangAt)) << "the count restarts after a bang";
    }
}

TEST(PrimeAndBangStructureDetectorComponent, NeverBangsAtReactivityZeroAndResetUnprimes) {
    ScalarBench bench;
    bench.spikeAfterSilence(AudioFeature::VU, 100); // deviance about 10
    PrimeAndBangStructureDetectorComponent bang;
    for (int frame = 0; frame < 600 * 2; ++frame) {
        ASSERT_EQ(bench.frame(bang, 0.5f, ScalarBench::controls(0.0f)), 0.0f);
    }
    EXPECT_EQ(bench.frame(bang, 0.5f), 1.0f) << "primed long ago: bangs at once";
    // Reactivity 0.5 keeps the waits set at reactivity 0: three times 12 s.
    const auto framesToBang = [&bench, &bang] {
        int frames = 1;
        while (bench.frame(bang, 0.5f) != 1.0f && frames < 1000) {
            ++frames;
        }
        return frames;
    };
    EXPECT_EQ(framesToBang(), 72);
    for (int frame = 0; frame < 20; ++frame) {
        bench.frame(bang, 0.5f);
    }
    bang.reset();
    EXPECT_EQ(framesToBang(), 72) << "the wait restarts at the reset";
}
