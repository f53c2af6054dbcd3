#include "korvala/engine/AudioEngine.h"
#include "korvala/record/KorDSPData.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <vector>

using namespace korvala::test;

TEST(TempoTracking, KickAndHatPatternsAreTrackedWithinTwoPercent) {
    // The kicks' own rate lies inside the searched 50–217 BPM bins for all three
    // patterns, so each is found directly rather than at half or double tempo.
    for (double bpm : {128.0, 100.0, 174.0}) {
        Korvala::AudioEngine engine;
        for (auto& block : blocks(kickHatPattern(bpm, 40.0), 512)) {
            engine.processAudio(block);
        }
        const KorAlgosOut& out = engine.getAnalysisRecord().getAlgosOut();
        EXPECT_NEAR(out.bpm, bpm, bpm * 0.02) << bpm << " BPM pattern";
        // A steady pattern keeps one winning bin for far longer than the
        // 120 analyses the confidence needs to reach its top.
        EXPECT_GT(out.bpmConfidence, 0.9f) << bpm << " BPM pattern";
    }
}
