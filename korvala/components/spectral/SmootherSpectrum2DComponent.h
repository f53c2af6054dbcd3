#pragma once

#include "korvala/components/VectorComponent2D.h"

#include <vector>

namespace Korvala {

/// A smooth 1024-point spectrum curve drawn from the 35 mini log-band levels
/// ("kor_SpectrumSmooth"): each point is a Gaussian-weighted blend of the band
/// levels in decibels over a range that widens from left to right, boosted on
/// the right-hand side and smoothed over time by reactivity. Values in [0, 1].
///
/// The tables cover at most 1024 points and 35 bands; a frame whose spectrum
/// or band vector is longer leaves the output unchanged.
class SmootherSpectrum2DComponent : public VectorComponent2D {
public:
    static constexpr int kPoints = 1024;
    static constexpr int kBands = 35;
    /// Bands from this index on have zero weight everywhere.
    static constexpr int kWeightedBands = 33;

    SmootherSpectrum2DComponent();

    /// One frame; the output takes the power spectrum's length. dt is not used.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

    /// value + (i/1024)⁴ · value · 0.25 when value ≥ 1e-5, else value.
    float doHighFrequencyAugment(float value, int index);
    /// Scales by clamp(2r, 0, 1)^0.2 when 2r ≤ 1.
    float applyReactivityUI(float value);

    /// Decibel range at a relative position: 2.3 dB at 0 rising to 45 dB at 0.6.
    static float decibelRange(float pos);
    /// A band at `decibels` over `range`: 0 dB → 1, −range dB → 0.
    static float bandLevel(float decibels, float range);
    /// Band power → decibels (powers below 1e-12 and NaN count as 1e-12).
    float bandDecibels(float power) const;

private:
    /// Fills the per-point range, boost and weight-sum tables for n points.
    void preparePointTables(std::size_t points, std::size_t bands);
    /// One frame of the curve into values (n points, the tables prepared).
    void drawCurve(const float* bands, std::size_t bandCount, std::size_t n);
    /// Adds level × weight over [from, to) where the weights are subnormal,
    /// skipping the points whose sum the term provably cannot change.
    void addTail(const float* level, const float* weights, std::size_t from, std::size_t to);

    /// 2^-100: a sum this large absorbs any term below 2^-126 unchanged.
    static constexpr float kTailNegligibleFrom = 0x1p-100f;

    float reactivityGain = 1.0f;
    float reactivityPower = 1.0f;
    std::vector<float> augmentCurve;
    /// exp(−(i − (33j + 16))² / 26.4²) stored band by band: 33 columns of 1024
    /// points (bands 33 and 34 weigh 0 everywhere and have no column).
    std::vector<std::vector<float>> bandWeights;
    /// 10 / ln 10: ln(v) · dbFactor = 10 · log10(v).
    float dbFactor = 4.3429446f;

    // Each band's weights are exactly 0 outside the points [weightFirst,
    // weightEnd): those terms add nothing to the sums, so they are skipped.
    std::vector<int> weightFirst;
    std::vector<int> weightEnd;
    // Within those, the weights at or above the smallest normal float.
    std::vector<int> normalFirst;
    std::vector<int> normalEnd;

    // Per-point tables for the current output length and band count.
    std::size_t tablePoints = 0;
    std::size_t tableBands = 0;
    std::vector<float> pointRange;
    std::vector<float> pointBoost;
    std::vector<float> pointWeightSum;
    /// The weight sum, or 1 where it is 0.
    std::vector<float> pointDivisor;
    /// The ranges never fall from one point to the next (always so for the
    /// linear rise; checked when the tables are built).
    bool rangesRise = false;
    /// The smallest float ≥ 1e-5 (double): the augment threshold as a float.
    float augmentFrom;
    /// From this point on every point's range is the full range.
    std::size_t fullRangeFrom = 0;
    /// The boost is 0 before this point and 1 from doubledFrom on.
    std::size_t unboostedEnd = 0;
    std::size_t doubledFrom = 0;

    // Per-frame scratch: each point's weighted sum, built band by band.
    std::vector<float> sums;
    /// The current band's level at each point.
    std::vector<float> levels;
    float fullRange;
};

} // namespace Korvala
