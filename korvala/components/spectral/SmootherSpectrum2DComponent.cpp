#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"

#include <algorithm>
#include <cmath>

namespace Korvala {

SmootherSpectrum2DComponent::SmootherSpectrum2DComponent()
    : values(kBands, 0.0f), augmentCurve(kPoints),
      bandWeights(kPoints, std::vector<float>(kBands, 0.0f)), weightFirst(kPoints, 0),
      weightEnd(kPoints, 0), pointRange(kPoints, 0.0f), pointBoost(kPoints, 0.0f),
      pointWeightSum(kPoints, 0.0f), decibels(kBands, 0.0f), levelsAtFullRange(kBands, 0.0f),
      fullRange(decibelRange(1.0f)) {
    values.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        augmentCurve[i] = std::pow(static_cast<float>(i) * 0.0009765625f, 4.0f);

        std::vector<float>& row = bandWeights[static_cast<std::size_t>(i)];
        for (int j = 0; j < kWeightedBands; ++j) {
            const float centre = static_cast<float>(j) * 33.0f + 16.5f - 0.5f;
            const float d = static_cast<float>(i) - centre;
            row[j] = std::exp(-(d * d) / 696.96f);
        }
        // Far bands underflow to exactly 0; the non-zero ones are contiguous.
        int first = 0;
        while (first < kBands && row[first] == 0.0f) {
            ++first;
        }
        int end = kBands;
        while (end > first && row[end - 1] == 0.0f) {
            --end;
        }
        weightFirst[i] = first;
        weightEnd[i] = end;
    }
    preparePointTables(kPoints, kBands);
}

void SmootherSpectrum2DComponent::preparePointTables(std::size_t points, std::size_t bands) {
    for (std::size_t i = 0; i < points; ++i) {
        const float pos = static_cast<float>(i) / static_cast<float>(points);
        pointRange[i] = decibelRange(pos);
        pointBoost[i] =
            static_cast<float>((static_cast<double>(clamp(pos, 0.5f, 0.75f)) - 0.5) * 4.0);
        float weightSum = 0.0f;
        for (std::size_t j = 0; j < bands; ++j) {
            weightSum = weightSum + bandWeights[i][j];
        }
        pointWeightSum[i] = weightSum;
    }
    tablePoints = points;
    tableBands = bands;
}

std::vector<float> SmootherSpectrum2DComponent::update(AudioComponentDataLayer* dataLayer,
                                                       float /*dt*/, const UserInputs& inputs) {
    // Only the spectrum's length is used, so it is not copied.
    const std::size_t n = dataLayer->view1DNoAnalysis(AudioFeature::FFTPower).size();
    const std::vector<float>& bands = dataLayer->view1DNoAnalysis(AudioFeature::MiniLogBandedFFT);
    const std::size_t bandCount = bands.size();
    if (n > static_cast<std::size_t>(kPoints) || bandCount > static_cast<std::size_t>(kBands)) {
        return values;
    }
    if (values.size() != n) {
        values.assign(n, 0.0f);
    }
    reactivityGain = 2.0f * inputs.reactivity;
    reactivityPower = std::pow(clamp(reactivityGain, 0.0f, 1.0f), 0.2f);
    if (n == 0) {
        return values;
    }
    if (n != tablePoints || bandCount != tableBands) {
        preparePointTables(n, bandCount);
    }

    // Everything that depends only on the band is done once per frame.
    for (std::size_t j = 0; j < bandCount; ++j) {
        decibels[j] = bandDecibels(bands[j]);
        levelsAtFullRange[j] = bandLevel(decibels[j], fullRange);
    }
    const auto alpha = static_cast<float>(static_cast<double>(reactivityGain) * 0.35);

    for (std::size_t i = 0; i < n; ++i) {
        const float range = pointRange[i];
        const float* weights = bandWeights[i].data();
        const int end = std::min(weightEnd[i], static_cast<int>(bandCount));
        float sum = 0.0f;
        if (range == fullRange) {
            for (int j = weightFirst[i]; j < end; ++j) {
                sum = sum + levelsAtFullRange[j] * weights[j];
            }
        } else {
            for (int j = weightFirst[i]; j < end; ++j) {
                sum = sum + bandLevel(decibels[j], range) * weights[j];
            }
        }
        const float weightSum = pointWeightSum[i];
        float mean = weightSum > 0.0f ? sum / weightSum : sum / 1.0f;
        mean = doHighFrequencyAugment(mean, static_cast<int>(i));

        const auto target = static_cast<float>(static_cast<double>(mean) *
                                               (1.0 + static_cast<double>(pointBoost[i])));
        float next =
            static_cast<float>((1.0 - static_cast<double>(alpha)) * static_cast<double>(values[i]) +
                               static_cast<double>(target * alpha));
        // Scaling the stored value also makes the curve sink frame by frame
        // while reactivity is below 0.5.
        next = applyReactivityUI(next);
        values[i] = clamp(next, 0.0f, 1.0f);
    }
    return values;
}

std::vector<float> SmootherSpectrum2DComponent::getValue() {
    return values;
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
