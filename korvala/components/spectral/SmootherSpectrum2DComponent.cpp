#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"

#include "korvala/components/ComponentMath.h"
#include "korvala/detail/Simd.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Korvala {

SmootherSpectrum2DComponent::SmootherSpectrum2DComponent()
    : VectorComponent2D(kBands), augmentCurve(kPoints),
      bandWeights(kWeightedBands, std::vector<float>(kPoints, 0.0f)),
      weightFirst(kWeightedBands, 0), weightEnd(kWeightedBands, 0), normalFirst(kWeightedBands, 0),
      normalEnd(kWeightedBands, 0), pointRange(kPoints, 0.0f), pointBoost(kPoints, 0.0f),
      pointWeightSum(kPoints, 0.0f), pointDivisor(kPoints, 1.0f), sums(kPoints, 0.0f),
      levels(kPoints, 0.0f), fullRange(decibelRange(1.0f)) {
    // (double)mean < 1e-5 exactly when mean < augmentFrom.
    augmentFrom = static_cast<float>(1e-5);
    if (static_cast<double>(augmentFrom) < 1e-5) {
        augmentFrom = std::nextafter(augmentFrom, 1.0f);
    }
    values.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        augmentCurve[i] = std::pow(static_cast<float>(i) * 0.0009765625f, 4.0f);
    }
    for (int j = 0; j < kWeightedBands; ++j) {
        std::vector<float>& column = bandWeights[static_cast<std::size_t>(j)];
        const float centre = static_cast<float>(j) * 33.0f + 16.5f - 0.5f;
        for (int i = 0; i < kPoints; ++i) {
            const float d = static_cast<float>(i) - centre;
            column[i] = std::exp(-(d * d) / 696.96f);
        }
        // Points far from the band underflow to exactly 0; the non-zero ones
        // are contiguous.
        int first = 0;
        while (first < kPoints && column[first] == 0.0f) {
            ++first;
        }
        int last = kPoints;
        while (last > first && column[last - 1] == 0.0f) {
            --last;
        }
        weightFirst[j] = first;
        weightEnd[j] = last;
        // The normal (not subnormal) weights, also contiguous, around the centre.
        int normalFrom = first;
        while (normalFrom < last && column[normalFrom] < std::numeric_limits<float>::min()) {
            ++normalFrom;
        }
        int normalTo = last;
        while (normalTo > normalFrom && column[normalTo - 1] < std::numeric_limits<float>::min()) {
            --normalTo;
        }
        normalFirst[j] = normalFrom;
        normalEnd[j] = normalTo;
    }
    preparePointTables(kPoints, kBands);
}

void SmootherSpectrum2DComponent::preparePointTables(std::size_t points, std::size_t bands) {
    const std::size_t weighted = std::min(bands, static_cast<std::size_t>(kWeightedBands));
    fullRangeFrom = points;
    for (std::size_t i = 0; i < points; ++i) {
        const float pos = static_cast<float>(i) / static_cast<float>(points);
        pointRange[i] = decibelRange(pos);
        pointBoost[i] =
            static_cast<float>((static_cast<double>(clamp(pos, 0.5f, 0.75f)) - 0.5) * 4.0);
        // Bands from kWeightedBands on add +0 to this non-negative sum.
        float weightSum = 0.0f;
        for (std::size_t j = 0; j < weighted; ++j) {
            weightSum = weightSum + bandWeights[j][i];
        }
        pointWeightSum[i] = weightSum;
        // sum / 1 where no weight reaches the point.
        pointDivisor[i] = weightSum > 0.0f ? weightSum : 1.0f;
    }
    rangesRise = std::is_sorted(pointRange.begin(),
                                pointRange.begin() + static_cast<std::ptrdiff_t>(points));
    while (fullRangeFrom > 0 && pointRange[fullRangeFrom - 1] == fullRange) {
        --fullRangeFrom;
    }
    unboostedEnd = 0;
    while (unboostedEnd < points && pointBoost[unboostedEnd] == 0.0f) {
        ++unboostedEnd;
    }
    doubledFrom = points;
    while (doubledFrom > unboostedEnd && pointBoost[doubledFrom - 1] == 1.0f) {
        --doubledFrom;
    }
    tablePoints = points;
    tableBands = bands;
}

void SmootherSpectrum2DComponent::advance(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                          const UserInputs& inputs) {
    // Only the spectrum's length is used, so it is not copied.
    const std::size_t n = dataLayer->view1DNoAnalysis(AudioFeature::FFTPower).size();
    const std::vector<float>& bands = dataLayer->view1DNoAnalysis(AudioFeature::MiniLogBandedFFT);
    const std::size_t bandCount = bands.size();
    if (n > static_cast<std::size_t>(kPoints) || bandCount > static_cast<std::size_t>(kBands)) {
        return;
    }
    if (values.size() != n) {
        values.assign(n, 0.0f);
    }
    reactivityGain = 2.0f * inputs.reactivity;
    reactivityPower = std::pow(clamp(reactivityGain, 0.0f, 1.0f), 0.2f);
    if (n == 0) {
        return;
    }
    if (n != tablePoints || bandCount != tableBands) {
        preparePointTables(n, bandCount);
    }

    drawCurve(bands.data(), bandCount, n);
}

KORVALA_AVX2_CLONE
void SmootherSpectrum2DComponent::drawCurve(const float* bands, std::size_t bandCount,
                                            std::size_t n) {
    // Each point's sum runs over the bands in order, so the bands form the
    // outer loop and every point keeps its own running sum: the points are
    // independent and the inner loops vectorise. Levels lie in [0, 1] and
    // weights are ≥ 0, so every sum is ≥ +0 and a zero term (zero weight or
    // zero level) leaves it unchanged — such terms are skipped.
    float* sum = sums.data();
    float* level = levels.data();
    const float* range = pointRange.data();
    std::fill(sums.begin(), sums.begin() + static_cast<std::ptrdiff_t>(n), 0.0f);
    const std::size_t weighted = std::min(bandCount, static_cast<std::size_t>(kWeightedBands));
    for (std::size_t j = 0; j < weighted; ++j) {
        const float db = bandDecibels(bands[j]);
        const std::size_t first = static_cast<std::size_t>(weightFirst[j]);
        const std::size_t last = std::min(static_cast<std::size_t>(weightEnd[j]), n);
        // Where range ≤ −db, db + range ≤ +0 and the level is +0. The ranges
        // never fall from left to right, so those points form a prefix.
        const std::size_t from =
            rangesRise
                ? static_cast<std::size_t>(
                      std::upper_bound(range + first, range + std::max(first, last), -db) - range)
                : first;
        if (from >= last) {
            continue;
        }
        if (db >= 0.0f) {
            // db + range ≥ range: the level is exactly 1.
            std::fill(level + from, level + last, 1.0f);
        } else {
            const std::size_t split = std::clamp(fullRangeFrom, from, last);
            for (std::size_t i = from; i < split; ++i) {
                level[i] = ComponentMath::clamp((db + range[i]) / range[i], 0.0f, 1.0f);
            }
            std::fill(level + split, level + last, bandLevel(db, fullRange));
        }
        const float* weights = bandWeights[j].data();
        const std::size_t bodyFirst =
            std::clamp(static_cast<std::size_t>(normalFirst[j]), from, last);
        const std::size_t bodyEnd =
            std::clamp(static_cast<std::size_t>(normalEnd[j]), bodyFirst, last);
        addTail(level, weights, from, bodyFirst);
        for (std::size_t i = bodyFirst; i < bodyEnd; ++i) {
            sum[i] = sum[i] + level[i] * weights[i];
        }
        addTail(level, weights, bodyEnd, last);
    }

    const auto alpha = static_cast<float>(static_cast<double>(reactivityGain) * 0.35);
    const double keep = 1.0 - static_cast<double>(alpha);
    // Multiplying by 1 changes no value, so the reactivity scaling can be
    // applied to every point.
    const float scale = reactivityGain <= 1.0f ? reactivityPower : 1.0f;
    const float* divisor = pointDivisor.data();
    const float* boost = pointBoost.data();
    const float* curve = augmentCurve.data();
    float* out = values.data();
    const auto finish = [&](std::size_t from, std::size_t to, auto boostedBy) {
        for (std::size_t i = from; i < to; ++i) {
            float mean = sum[i] / divisor[i];
            // doHighFrequencyAugment, inline.
            const float boosted = curve[i] * mean * 0.25f + mean;
            mean = mean < augmentFrom ? mean : boosted;
            const float target = boostedBy(mean, i);
            float next = static_cast<float>(keep * static_cast<double>(out[i]) +
                                            static_cast<double>(target * alpha));
            // Scaling the stored value also makes the curve sink frame by
            // frame while reactivity is below 0.5.
            next = next * scale;
            out[i] = ComponentMath::clamp(next, 0.0f, 1.0f);
        }
    };
    // mean · (1 + boost) in double, rounded to float. Where the boost is 0 that
    // is the mean itself, and where it is 1 the mean doubled, which is exact in
    // either precision (and overflows alike).
    const std::size_t plainEnd = std::min(unboostedEnd, n);
    const std::size_t doubledStart = std::clamp(doubledFrom, plainEnd, n);
    finish(0, plainEnd, [](float mean, std::size_t) { return mean; });
    finish(plainEnd, doubledStart, [boost](float mean, std::size_t i) {
        return static_cast<float>(static_cast<double>(mean) *
                                  (1.0 + static_cast<double>(boost[i])));
    });
    finish(doubledStart, n, [](float mean, std::size_t) { return mean * 2.0f; });
}

void SmootherSpectrum2DComponent::addTail(const float* level, const float* weights,
                                          std::size_t from, std::size_t to) {
    // In the tails every weight is below the smallest normal float, 2^-126,
    // so a term is below 2^-126 too. A sum of at least 2^-100 has a half unit
    // in the last place of at least 2^-124: adding the term cannot change it,
    // and the (slow) subnormal product is skipped.
    float* sum = sums.data();
    for (std::size_t i = from; i < to; ++i) {
        if (sum[i] < kTailNegligibleFrom) {
            sum[i] = sum[i] + level[i] * weights[i];
        }
    }
}

float SmootherSpectrum2DComponent::doHighFrequencyAugment(float value, int index) {
    if (static_cast<double>(value) < 1e-5) {
        return value;
    }
    return augmentCurve[static_cast<std::size_t>(index)] * value * 0.25f + value;
}

float SmootherSpectrum2DComponent::applyReactivityUI(float value) {
    return reactivityGain <= 1.0f ? value * reactivityPower : value;
}

float SmootherSpectrum2DComponent::decibelRange(float pos) {
    const auto t =
        static_cast<float>(static_cast<double>(clamp(pos, 0.0f, 0.6f)) * 1.6666666666666667);
    return mix(2.3f, 45.0f, t);
}

float SmootherSpectrum2DComponent::bandLevel(float decibels, float range) {
    return clamp((decibels + range) / range, 0.0f, 1.0f);
}

float SmootherSpectrum2DComponent::bandDecibels(float power) const {
    if (std::isnan(power)) {
        power = 0.0f;
    }
    return std::log(std::max(power, 1e-12f)) * dbFactor;
}

} // namespace Korvala
