#pragma once

#include "korvala/record/KorDSPData.h"
#include "korvala/store/DimensionStore2D.h"
#include "korvala/store/DoubleRingBuffer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class SpectrumStage;

/// Tempo tracker: finds the strongest common modulation of the log-band level
/// histories, folds it into 50–220 BPM and smooths it with a leaky histogram
/// of the last 60 estimates in 10-BPM bins. Assumes one history value per
/// 512-sample block at 44100 Hz.
class Algorithm_BPM {
public:
    Algorithm_BPM();
    ~Algorithm_BPM();
    Algorithm_BPM(const Algorithm_BPM&) = delete;
    Algorithm_BPM& operator=(const Algorithm_BPM&) = delete;

    /// Counts one block; every decimation-th call analyses `history` (rows of at
    /// least 1024 values, else std::invalid_argument). Every call writes the
    /// current tempo and confidence into the record's bpm and bpmConfidence.
    void transform(DimensionStore2D* history, KorDSPData* record);

    /// Adds one raw estimate, updates the confidence; returns the mean of the
    /// recent estimates in the winning 10-BPM bin.
    float leakyHistogram(float bpm);
    /// round(t / 10) − 5 in double precision, halves away from zero. A NaN or a
    /// tempo no int can hold maps to the bin of 0.0 (−5) instead of overflowing.
    static int binIndex(float bpm);
    /// Analyse on every this-many-th call (truncated; values below 1 act as 1).
    void setDecimation(float decimation);
    /// 1.15 / (e^((x / s − 0.75)·−7) + 1), capped at 1.
    static float logisticCurve(float x, float s);

    /// Doubles a tempo below 50, halves one above 220, once.
    float foldOctave(float bpm) const;
    /// The bin in [10, 44) with the largest summed power (NaN as 0, ties to the
    /// lower bin, 10 if none is above 0). `summedPower` holds 512 values.
    int peakBin(const std::vector<float>& summedPower) const;

    float getBPM() const { return bpm_; }
    float getConfidence() const { return confidence_; }

private:
    /// Steps of one analysis: the raw estimate, before folding.
    float estimate(const DimensionStore2D& history);
    int peakBin(const float* summedPower) const;

    float fftSize_;
    float minBPM_;
    float maxBPM_;
    float binToBPM_;
    std::int32_t lowBin_;
    std::int32_t highBin_;
    std::unique_ptr<SpectrumStage> fft_;
    std::int32_t decimation_;
    std::int32_t decimationCounter_;
    float bpm_;
    std::map<std::int32_t, std::uint64_t> binCounts_;
    std::map<std::int32_t, float> binSums_;
    std::unique_ptr<DoubleRingBuffer<float>> recentBPM_;
    float historyLength_;
    float confidence_;
    std::int32_t stableCount_;
    std::int32_t previousBin_;
    float smoothedConfidence_;

    // Per-analysis work buffers, sized once: summed power, real and imaginary
    // parts over the modulation bins, one band's weighted powers, and one
    // band's spectrum.
    std::vector<float> summedPower_;
    std::vector<float> summedReal_;
    std::vector<float> summedImag_;
    std::vector<float> bandPower_;
    std::vector<float> rowReal_;
    std::vector<float> rowImag_;
    std::vector<float> rowPower_;
};
