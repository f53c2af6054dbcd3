#include "korvala/dsp/tempo/Algorithm_BPM.h"
#include "korvala/record/FrequencyBands.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace korvala::test;

namespace {
constexpr std::size_t kBands = 22;
constexpr std::size_t kHistory = 1024;

// A band history whose every band rises and falls `cycles` times over the
// 1024 blocks: a pure modulation on one bin of the tracker's FFT.
void fillWithModulation(DimensionStore2D& history, double cycles) {
    const std::vector<float> curve = levelCurve(cycles, kHistory);
    for (float level : curve) {
        history.add(std::vector<float>(kBands, level));
    }
}

float analyseOnce(Algorithm_BPM& tracker, DimensionStore2D& history, KorDSPData& record) {
    for (int call = 0; call < 12; ++call) {
        tracker.transform(&history, &record);
    }
    return record.getAlgosOut().bpm;
}
} // namespace

TEST(Algorithm_BPM, FirstElevenCallsWriteZeroAndTheTwelfthAnalyses) {
    Algorithm_BPM tracker;
    DimensionStore2D history(kBands, kHistory);
    KorDSPData record;
    for (int call = 1; call <= 11; ++call) {
        record.getAlgosOut().bpm = 120.0f;
        record.getAlgosOut().bpmConfidence = 0.5f;
        tracker.transform(&history, &record);
        EXPECT_EQ(record.getAlgosOut().bpm, 0.0f) << "call " << call;
        EXPECT_EQ(record.getAlgosOut().bpmConfidence, 0.0f);
    }
    tracker.transform(&history, &record);
    EXPECT_EQ(record.getAlgosOut().bpm, 120.0f); // silent bands: NaN sums, 120 fallback
    EXPECT_EQ(record.getAlgosOut().bpmConfidence, 0.0f);
    for (int call = 13; call <= 23; ++call) {
        tracker.transform(&history, &record);
        EXPECT_EQ(record.getAlgosOut().bpm, 120.0f); // held between analyses
    }
    tracker.transform(&history, &record);
    EXPECT_EQ(record.getAlgosOut().bpm, 120.0f);
    EXPECT_NEAR(record.getAlgosOut().bpmConfidence, 0.0016667f, 1e-7f);
}

TEST(Algorithm_BPM, PureModulationIsReportedAtItsBinTempo) {
    // One bin of the modulation FFT is 5.0468445 BPM.
    const struct {
        double cycles;
        float bpm;
    } table[] = {{20.0, 100.93689f}, {25.5, 128.69453f}, {12.0, 60.562134f}, {40.0, 201.87378f}};
    for (const auto& row : table) {
        Algorithm_BPM tracker;
        DimensionStore2D history(kBands, kHistory);
        KorDSPData record;
        fillWithModulation(history, row.cycles);
        EXPECT_NEAR(analyseOnce(tracker, history, record), row.bpm, 0.6f) << row.cycles;
    }
}

TEST(Algorithm_BPM, OneSilentBandFallsBackTo120) {
    Algorithm_BPM tracker;
    DimensionStore2D history(kBands, kHistory);
    KorDSPData record;
    std::vector<float> column(kBands, 0.0f);
    for (float level : levelCurve(20.0, kHistory)) {
        std::fill(column.begin(), column.end() - 1, level); // the top band stays silent
        history.add(column);
    }
    EXPECT_EQ(analyseOnce(tracker, history, record), 120.0f);
}

TEST(Algorithm_BPM, FoldsOnceIntoFiftyToTwoHundredTwenty) {
    Algorithm_BPM tracker;
    const struct {
        float in;
        float out;
    } table[] = {{47.0f, 94.0f},   {220.5f, 110.25f}, {50.0f, 50.0f},
                 {220.0f, 220.0f}, {20.0f, 40.0f},    {128.0f, 128.0f}};
    for (const auto& row : table) {
        EXPECT_EQ(tracker.foldOctave(row.in), row.out) << row.in;
    }
}

TEST(Algorithm_BPM, BinIndexRoundsTenthsHalfAwayFromZero) {
    const struct {
        float bpm;
        int bin;
    } table[] = {{54.9f, 0},  {55.0f, 1},  {125.0f, 8},  {0.0f, -5},
                 {115.0f, 7}, {124.9f, 7}, {215.0f, 17}, {-5.0f, -6}};
    for (const auto& row : table) {
        EXPECT_EQ(Algorithm_BPM::binIndex(row.bpm), row.bin) << row.bpm;
    }
    EXPECT_EQ(Algorithm_BPM::binIndex(std::numeric_limits<float>::quiet_NaN()), -5);
}

TEST(Algorithm_BPM, PeakSearchPrefersTheLowerBinAndIgnoresNaN) {
    Algorithm_BPM tracker;
    std::vector<float> sums(512, 0.0f);
    EXPECT_EQ(tracker.peakBin(sums), 10); // nothing above 0
    sums[20] = 3.0f;
    sums[30] = 3.0f;
    EXPECT_EQ(tracker.peakBin(sums), 20);
    sums[25] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(tracker.peakBin(sums), 20);
    sums[44] = 100.0f; // outside the searched bins
    sums[9] = 100.0f;
    EXPECT_EQ(tracker.peakBin(sums), 20);
    sums[43] = 3.5f;
    EXPECT_EQ(tracker.peakBin(sums), 43);
}

TEST(Algorithm_BPM, LeakyHistogramSwitchesWhenAnotherBinHoldsMore) {
    Algorithm_BPM tracker;
    EXPECT_EQ(tracker.leakyHistogram(100.0f), 100.0f);
    for (int i = 1; i < 60; ++i) {
        EXPECT_EQ(tracker.leakyHistogram(100.0f), 100.0f);
    }
    EXPECT_GT(tracker.getConfidence(), 0.0f);
    for (int i = 1; i <= 60; ++i) {
        const float before = tracker.getConfidence();
        const float out = tracker.leakyHistogram(130.0f);
        if (i <= 30) {
            EXPECT_EQ(out, 100.0f) << "estimate " << i;
        } else {
            EXPECT_EQ(out, 130.0f) << "estimate " << i;
        }
        if (i == 31) {
            // The winner changed: the raw confidence restarts at 0.
            EXPECT_NEAR(tracker.getConfidence(), 0.8f * before, 1e-6f);
        }
    }
}

TEST(Algorithm_BPM, TiedBinsGoToTheLowerTempo) {
    Algorithm_BPM tracker;
    float out = 0.0f;
    for (int i = 0; i < 10; ++i) {
        out = tracker.leakyHistogram(i % 2 == 0 ? 131.0f : 98.0f);
    }
    EXPECT_EQ(out, 98.0f);
    // Within the winning bin the output is the mean of its estimates.
    Algorithm_BPM averaging;
    averaging.leakyHistogram(101.0f);
    EXPECT_EQ(averaging.leakyHistogram(103.0f), 102.0f);
}

TEST(Algorithm_BPM, DecimationSetsTheAnalysisRate) {
    Algorithm_BPM tracker;
    DimensionStore2D history(kBands, kHistory);
    KorDSPData record;
    tracker.setDecimation(3.9f);
    for (int call = 1; call <= 3; ++call) {
        tracker.transform(&history, &record);
        EXPECT_EQ(record.getAlgosOut().bpm, call < 3 ? 0.0f : 120.0f);
    }
    Algorithm_BPM every;
    every.setDecimation(0.0f); // below 1 acts as 1 rather than dividing by zero
    every.transform(&history, &record);
    EXPECT_EQ(record.getAlgosOut().bpm, 120.0f);
}

TEST(Algorithm_BPM, LogisticCurveIsCentredAtThreeQuartersAndCapped) {
    EXPECT_FLOAT_EQ(Algorithm_BPM::logisticCurve(1.5f, 2.0f), 0.575f);
    EXPECT_EQ(Algorithm_BPM::logisticCurve(10.0f, 1.0f), 1.0f);
}
