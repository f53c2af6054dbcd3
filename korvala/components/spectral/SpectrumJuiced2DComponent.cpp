#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"

#include "korvala/components/spectral/ReactivityCurve.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Korvala {

namespace {
constexpr int kSlots = SpectrumJuiced2DComponent::kBins;
constexpr int kLowBins = SpectrumJuiced2DComponent::kFirstGroupedBin;
constexpr int kBlurRadius = 7;
} // namespace

SpectrumJuiced2DComponent::SpectrumJuiced2DComponent()
    : augmentCurve(kBins), warped(kSlots, 0.0f), values(kSlots, 0.0f),
      accumulator(std::numeric_limits<float>::min()), blurKernel{0.26596153f,    0.21296534f,
                                                                 0.10934005f,    0.035993978f,
                                                                 0.0075973240f,  0.0010281859f,
                                                                 8.9220201e-05f, 4.9639998e-06f},
      conditioned(kBins, 0.0f), padded(kSlots + 2 * kBlurRadius, 0.0f), blurred(kSlots, 0.0f) {
    for (int i = 0; i < kBins; ++i) {
        augmentCurve[i] = std::exp(static_cast<float>(i) * 0.0009765625f * 9.0f);
    }
    setReactivity(0.5f);

    // Low bins: bin i fills ceil((279 − i)² · 8.5e-5) slots, 7 for bin 0 down
    // to 1 for bin 278, so the bass gets most of the width.
    int slot = 0;
    for (int i = 0; i < kLowBins; ++i) {
        const int d = kLowBins - i;
        lowSlotStart[i] = slot;
        lowSlotCount[i] = static_cast<int>(std::ceil(static_cast<float>(d * d) * 8.5e-05f));
        slot += lowSlotCount[i];
    }

    // High bins: groups of growing width k² · 0.0001275 (rounded up), each
    // averaged into one slot. A group's first bin is divided by the width of
    // the group before it, as the running group state has not advanced yet.
    int group = 1;
    int groupStart = kLowBins;
    for (int i = kLowBins; i < kBins; ++i) {
        const int h = i - kLowBins;
        const int width =
            static_cast<int>(std::ceil(static_cast<float>(group * group) * 0.0001275f));
        if (i - groupStart < width) {
            highOpensSlot[h] = false;
        } else {
            ++slot;
            highOpensSlot[h] = true;
            ++group;
            groupStart = i;
        }
        highSlot[h] = slot;
        highDivisor[h] = static_cast<float>(width);
    }
}

std::vector<float> SpectrumJuiced2DComponent::update(AudioComponentDataLayer* dataLayer,
                                                     float /*dt*/, const UserInputs& inputs) {
    const std::vector<float>& power = dataLayer->view1DNoAnalysis(AudioFeature::FFTPower);
    if (power.size() != static_cast<std::size_t>(kBins)) {
        return values;
    }

    setReactivity(inputs.reactivity);
    doAccumulatorDecay();
    // Bin order matters: the running peak rises bin by bin within the frame.
    for (int i = 0; i < kBins; ++i) {
        conditioned[i] =
            doHighFrequencyAugment(cleanDataAndDoAccumulatorNormalization(power[i]), i);
    }
    warpFrequencies(conditioned.data());
    blurXAxis();
    return values;
}

std::vector<float> SpectrumJuiced2DComponent::getValue() {
    return values;
}

void SpectrumJuiced2DComponent::setReactivity(float reactivity) {
    reactivityGain = 2.0f * reactivity;
    reactivitySqrt = std::sqrt(reactivityGain);
    const double gain = static_cast<double>(reactivityGain);
    riseRate = static_cast<float>((1.0 - gain) * -0.39 + 0.5);
    fallRate = static_cast<float>((1.0 - gain) * -0.2 + 0.3);
}

void SpectrumJuiced2DComponent::doAccumulatorDecay() {
    accumulator = accumulator * accumulatorDecay;
    if (accumulator < accumulatorFloor) {
        accumulator = accumulatorFloor;
    }
}

float SpectrumJuiced2DComponent::cleanDataAndDoAccumulatorNormalization(float power) {
    if (std::isnan(power)) {
        power = 0.0f;
    }
    if (static_cast<double>(power) < cleanThreshold) {
        return static_cast<float>(cleanThreshold);
    }
    float q = static_cast<float>(0.6 * static_cast<double>(power));
    if (q > 1.0f) {
        q = 1.0f;
    }
    if (q > accumulator) {
        accumulator = q;
    }
    return q / accumulator;
}

float SpectrumJuiced2DComponent::doHighFrequencyAugment(float value, int bin) {
    if (static_cast<double>(value) >= 0.0001) {
        return value * augmentCurve[static_cast<std::size_t>(bin)];
    }
    return value;
}

void SpectrumJuiced2DComponent::warpFrequencies(const float* bins) {
    for (int i = 0; i < kLowBins; ++i) {
        float* first = warped.data() + lowSlotStart[i];
        for (int c = 0; c < lowSlotCount[i]; ++c) {
            first[c] = bins[i];
        }
    }
    warped[static_cast<std::size_t>(highSlot[0])] = 0.0f;
    for (int h = 0; h < kBins - kLowBins; ++h) {
        float& slot = warped[static_cast<std::size_t>(highSlot[h])];
        const float share = bins[kLowBins + h] / highDivisor[h];
        slot = highOpensSlot[h] ? share : slot + share;
    }
}

void SpectrumJuiced2DComponent::blurXAxis() {
    // One logarithm per slot; the edges repeat the first and last slot.
    constexpr std::size_t radius = kBlurRadius;
    const std::size_t n = warped.size();
    for (std::size_t j = 0; j < n; ++j) {
        padded[j + radius] = doMagToDecibel(warped[j]);
    }
    for (std::size_t e = 0; e < radius; ++e) {
        padded[e] = padded[radius];
        padded[n + radius + e] = padded[n + radius - 1];
    }

    std::array<float, 2 * radius + 1> taps;
    for (std::size_t t = 0; t < taps.size(); ++t) {
        taps[t] = blurKernel[t < radius ? radius - t : t - radius];
    }

    // Each output sums its 15 products from offset −7 to +7 in that order.
    // The taps form the outer loop and every output keeps its own running
    // sum, so the outputs are independent and the inner loop vectorises.
    float* sum = blurred.data();
    std::fill(blurred.begin(), blurred.end(), 0.0f);
    for (std::size_t t = 0; t < taps.size(); ++t) {
        const float tap = taps[t];
        const float* window = padded.data() + t;
        for (std::size_t i = 0; i < n; ++i) {
            sum[i] = sum[i] + window[i] * tap;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = doTimeSmoothing(values[i], applyReactivityUI(sum[i]));
    }
}

float SpectrumJuiced2DComponent::doMagToDecibel(float value) {
    // The logarithm is single precision; the scaling to octaves is double.
    return static_cast<float>((static_cast<double>(std::log(value)) / ln2 + 16.0) * 0.0625);
}

float SpectrumJuiced2DComponent::applyReactivityUI(float value) {
    if (reactivityGain <= 1.0f) {
        return value * reactivitySqrt;
    }
    return ReactivityCurve::lively(value, reactivityGain);
}

float SpectrumJuiced2DComponent::doTimeSmoothing(float previous, float next) {
    if (next > previous) {
        return static_cast<float>(static_cast<double>(next * riseRate) +
                                  (1.0 - static_cast<double>(riseRate)) *
                                      static_cast<double>(previous));
    }
    return previous - (previous - next) * fallRate;
}

} // namespace Korvala
