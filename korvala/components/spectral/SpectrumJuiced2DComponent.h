#pragma once

#include "korvala/components/VectorComponent2D.h"

#include <array>
#include <vector>

namespace Korvala {

/// A lively 1024-value spectrum curve ("kor_SpectrumJuiced"): each bin is
/// normalised against a slowly decaying running peak, high bins are boosted
/// exponentially, the frequency axis is warped (low bins stretched, high bins
/// averaged in growing groups), converted to a log scale, blurred with a
/// 15-tap Gaussian, shaped by reactivity and smoothed with separate rise and
/// fall rates.
///
/// The warping layout is defined for exactly 1024 bins. An input spectrum of
/// any other length leaves the component untouched: update returns the
/// previous output unchanged and the running peak does not move.
class SpectrumJuiced2DComponent : public VectorComponent2D {
public:
    static constexpr int kBins = 1024;
    /// Bins 0..278 are stretched over slots 0..781; bins 279..1023 are grouped.
    static constexpr int kFirstGroupedBin = 279;
    /// The grouped bins fill the last 242 slots, one per group.
    static constexpr int kGroups = 242;

    SpectrumJuiced2DComponent();

    /// One frame over the 1024-bin power spectrum; returns the new curve. dt is not used.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

    /// Refreshes the reactivity-derived gains and rise/fall rates (reactivity in [0, 1]).
    void setReactivity(float reactivity);
    /// Decays the running peak by 0.99999, never below 0.0001.
    void doAccumulatorDecay();
    /// Power → value over the running peak (raising the peak first if needed);
    /// powers below about 2^-16 become that floor and leave the peak alone.
    float cleanDataAndDoAccumulatorNormalization(float power);
    /// Multiplies by exp(9·bin/1024) when value ≥ 0.0001; bin in [0, 1024).
    float doHighFrequencyAugment(float value, int bin);
    /// Spreads 1024 per-bin values over the warped slots (read with getWarped).
    void warpFrequencies(const float* bins);
    /// Log scale, 15-tap Gaussian (edges repeated), reactivity and time
    /// smoothing: `warped` → values.
    void blurXAxis();
    /// (log2(value) + 16) / 16: 2^-16 → 0, 1 → 1.
    float doMagToDecibel(float value);
    float applyReactivityUI(float value);
    /// One step from previous towards next, at the rise or the fall rate.
    float doTimeSmoothing(float previous, float next);

    /// The warped slots of the last frame, spread out when first read.
    const std::vector<float>& getWarped() const;

    /// One smoothing step at the given rise and fall rates, without branches.
    static float smooth(float previous, float next, float riseRate, float fallRate) {
        const auto rise = static_cast<float>(static_cast<double>(next * riseRate) +
                                             (1.0 - static_cast<double>(riseRate)) *
                                                 static_cast<double>(previous));
        const float fall = previous - (previous - next) * fallRate;
        return next > previous ? rise : fall;
    }

    float getAccumulator() const { return accumulator; }

private:
    /// Normalisation and augment of every bin into `conditioned`.
    void conditionBins(const float* power);
    /// doMagToDecibel of every slot into the middle of `padded`.
    void logScaleSlots();
    /// doTimeSmoothing, inline and without branches for the per-slot loops.
    float smooth(float previous, float next) const {
        return smooth(previous, next, riseRate, fallRate);
    }

    std::vector<float> augmentCurve;
    // The frame reads the slots' distinct values; their spread over the
    // slots is only for getWarped.
    mutable std::vector<float> warped;
    mutable bool warpedPending = false;
    float accumulatorFloor = 0.0001f;
    float accumulatorDecay = 0.99999f;
    float accumulator;
    /// Just above 2^-16: the quietest power taken as signal.
    double cleanThreshold = 1.52588e-05;
    double ln2 = 0.6931471806;
    float reactivityGain = 1.0f;
    float reactivitySqrt = 1.0f;
    /// Half of a Gaussian with sigma 1.5 at offsets 0..7 (sums to 1 over −7..+7).
    std::array<float, 8> blurKernel;

    // Derived once per reactivity change: the time-smoothing rates.
    float riseRate;
    float fallRate;

    // The fixed warping layout, built once: each grouped bin's divisor (the
    // width of its group, or of the group before for a group's first bin).
    std::array<float, kBins - kFirstGroupedBin> highDivisor;
    /// First grouped bin (counted from bin 279) of each group, then 745.
    std::vector<int> groupFirst;
    /// The float thresholds equivalent to the double comparisons: a power is
    /// signal iff ≥ signalFrom (as double ≥ cleanThreshold), and a value is
    /// boosted iff ≥ augmentFrom (as double ≥ 0.0001).
    float signalFrom;
    float augmentFrom;

    // Per-frame scratch, sized once.
    std::vector<float> conditioned;
    /// The running peak after each bin.
    std::vector<float> peaks;
    /// Each grouped bin divided by its group width.
    std::vector<float> shares;
    /// The distinct slot values (279 low bins, then 242 groups) and their
    /// log values; slotSource maps each slot to its value.
    std::vector<float> sources;
    std::vector<float> sourceLogs;
    /// Each value's run of equal neighbours (the index of its log value).
    std::vector<int> sourceRun;
    std::vector<int> slotSource;
    /// Log-scaled slots padded by 7 copies of the edge values on each side,
    /// so the blur window of slot i is padded[i .. i + 14].
    std::vector<float> padded;
    /// Each slot's blurred sum.
    std::vector<float> blurred;
};

} // namespace Korvala
