#include "korvala/dsp/KorDSPData.h"
#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

using namespace korvala::test;

namespace {
// Feeds a generated pattern through the engine in 512-sample blocks and
// returns the record's tempo and confidence after the last block.
KorAlgosOut trackedTempo(double bpm, double seconds) {
    Korvala::AudioEngine engine;
    for (auto& block : blocks(kickHatPattern(bpm, seconds), 512)) {
        engine.processAudio(block);
    }
    const KorAlgosOut& out = engine.getAnalysisRecord().getAlgosOut();
    std::printf("[ tempo    ] %.1f BPM pattern -> %.4f BPM, confidence %.4f\n", bpm,
                static_cast<double>(out.bpm), static_cast<double>(out.bpmConfidence));
    return out;
}
} // namespace

TEST(TempoTracking, KickAndHatPatternsAreTrackedWithinTwoPercent) {
    const struct {
        double bpm;
        double expected;
    } table[] = {{128.0, 128.0}, {100.0, 100.0}, {174.0, 174.0}};
    // The kicks' own rate lies inside the searched 50–217 BPM bins for all three
    // patterns, so each is found directly rather than at half or double tempo.
    for (const auto& row : table) {
        const KorAlgosOut out = trackedTempo(row.bpm, 40.0);
        EXPECT_NEAR(out.bpm, row.expected, row.expected * 0.02) << row.bpm << " BPM pattern";
        // A steady pattern keeps one winning bin for far longer than the
        // 120 analyses the confidence needs to reach its top.
        EXPECT_GT(out.bpmConfidence, 0.9f) << row.bpm << " BPM pattern";
    }
}
