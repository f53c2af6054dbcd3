#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"

#include "korvala/components/spectral/ReactivityCurve.h"
#include "korvala/detail/Simd.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Korvala {

namespace {
constexpr int kSlots = SpectrumJuiced2DComponent::kBins;
constexpr int kLowBins = SpectrumJuiced2DComponent::kFirstGroupedBin;
constexpr int kBlurRadius = 7;

// applyReactivityUI and doTimeSmoothing over n slots: out holds the previous
// frame and receives the new one.
KORVALA_AVX2_CLONE
void shapeAndSmooth(float* __restrict out, const float* __restrict sum, std::size_t n, float gain,
                    float root, float rise, float fall) {
    if (gain <= 1.0f) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = SpectrumJuiced2DComponent::smooth(out[i], sum[i] * root, rise, fall);
        }
    } else {
        const float t = ComponentMath::unitLimit(gain - 1.0f);
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = SpectrumJuiced2DComponent::smooth(
                out[i], ReactivityCurve::livelyBlend(sum[i], t), rise, fall);
        }
    }
}

// The scaling of doMagToDecibel after the logarithm, in double, in place.
KORVALA_AVX2_CLONE
void scaleToOctaves(float* logs, std::size_t n, double ln2) {
    for (std::size_t i = 0; i < n; ++i) {
        logs[i] = static_cast<float>((static_cast<double>(logs[i]) / ln2 + 16.0) * 0.0625);
    }
}

// peak[i] = the largest of start and values[0..i], for n values that are
// +0 or positive (never NaN) and a positive start. The maximum of such
// values is exact and does not depend on the order it is taken in, so four
// values at a time take their running maximum among themselves (two shifted
// maxima), then that of the values before them: a chain of one maximum per
// four values instead of one per value.
float runningPeak(const float* values, float* peak, std::size_t n, float start) {
    std::size_t i = 0;
    float running = start;
#if defined(__x86_64__) || defined(_M_X64)
    __m128 carry = _mm_set1_ps(start);
    const std::size_t whole = n - n % 4;
    for (; i < whole; i += 4) {
        __m128 x = _mm_loadu_ps(values + i);
        // Shifting brings in +0, which no value or start is below.
        x = _mm_max_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
        x = _mm_max_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
        x = _mm_max_ps(x, carry);
        _mm_storeu_ps(peak + i, x);
        carry = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
    }
    running = _mm_cvtss_f32(carry);
#endif
    for (; i < n; ++i) {
        running = values[i] > running ? values[i] : running;
        peak[i] = running;
    }
    return running;
}

// The smallest float f with (double)f >= threshold: for every float x,
// (double)x >= threshold exactly when x >= f.
float smallestFloatAtLeast(double threshold) {
    float f = static_cast<float>(threshold);
    if (static_cast<double>(f) < threshold) {
        f = std::nextafter(f, std::numeric_limits<float>::infinity());
    }
    return f;
}
} // namespace

SpectrumJuiced2DComponent::SpectrumJuiced2DComponent()
    : VectorComponent2D(kSlots), augmentCurve(kBins), warped(kSlots, 0.0f),
      accumulator(std::numeric_limits<float>::min()), blurKernel{0.26596153f,    0.21296534f,
                                                                 0.10934005f,    0.035993978f,
                                                                 0.0075973240f,  0.0010281859f,
                                                                 8.9220201e-05f, 4.9639998e-06f},
      conditioned(kBins, 0.0f), peaks(kBins, 0.0f), shares(kBins - kLowBins, 0.0f),
      sources(kLowBins + kGroups, 0.0f), sourceLogs(kLowBins + kGroups, 0.0f),
      sourceRun(kLowBins + kGroups, 0), slotSource(kSlots, 0),
      padded(kSlots + 2 * kBlurRadius, 0.0f), blurred(kSlots, 0.0f) {
    signalFrom = smallestFloatAtLeast(cleanThreshold);
    augmentFrom = smallestFloatAtLeast(0.0001);
    for (int i = 0; i < kBins; ++i) {
        augmentCurve[i] = std::exp(static_cast<float>(i) * 0.0009765625f * 9.0f);
    }
    setReactivity(0.5f);

    // Low bins: bin i fills ceil((279 − i)² · 8.5e-5) slots, 7 for bin 0 down
    // to 1 for bin 278, so the bass gets most of the width: slots 0..781.
    std::size_t next = 0;
    for (int i = 0; i < kLowBins; ++i) {
        const int d = kLowBins - i;
        const int count = static_cast<int>(std::ceil(static_cast<float>(d * d) * 8.5e-05f));
        for (int c = 0; c < count; ++c) {
            slotSource.at(next++) = i;
        }
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
        const bool opens = i - groupStart >= width;
        if (opens) {
            ++group;
            groupStart = i;
        }
        highDivisor[h] = static_cast<float>(width);
        if (h == 0 || opens) {
            groupFirst.push_back(h);
        }
    }
    groupFirst.push_back(kBins - kLowBins);
    for (int g = 0; g < kGroups; ++g) {
        slotSource.at(next++) = kLowBins + g;
    }
}

void SpectrumJuiced2DComponent::advance(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                        const UserInputs& inputs) {
    const std::vector<float>& power = dataLayer->view1DNoAnalysis(AudioFeature::FFTPower);
    if (power.size() != static_cast<std::size_t>(kBins)) {
        return;
    }

    setReactivity(inputs.reactivity);
    doAccumulatorDecay();
    conditionBins(power.data());
    warpFrequencies(conditioned.data());
    blurXAxis();
}

KORVALA_AVX2_CLONE
void SpectrumJuiced2DComponent::conditionBins(const float* power) {
    // What cleanDataAndDoAccumulatorNormalization and doHighFrequencyAugment
    // do bin by bin, in three passes: only the running peak is serial, the
    // scaling and the divisions are independent per bin and vectorise, and
    // the peak runs four bins at a time.
    float* scaled = conditioned.data();
    for (int i = 0; i < kBins; ++i) {
        const float p = power[i];
        // NaN fails the comparison and counts as silence, like 0.
        const bool signal = p >= signalFrom;
        float q = static_cast<float>(0.6 * static_cast<double>(p));
        q = q > 1.0f ? 1.0f : q;
        // A signal bin's scaled power is > 0; 0 marks a clean bin and never
        // raises the peak, which is at least the floor 0.0001.
        scaled[i] = signal ? q : 0.0f;
    }
    float* peak = peaks.data();
    accumulator = runningPeak(scaled, peak, kBins, accumulator);
    const float floor = static_cast<float>(cleanThreshold);
    const float* curve = augmentCurve.data();
    for (int i = 0; i < kBins; ++i) {
        const float q = scaled[i];
        const float ratio = q / peak[i]; // every peak is ≥ 0.0001
        float x = q > 0.0f ? ratio : floor;
        const float boosted = x * curve[i];
        x = x >= augmentFrom ? boosted : x;
        scaled[i] = x;
    }
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

KORVALA_AVX2_CLONE
void SpectrumJuiced2DComponent::warpFrequencies(const float* bins) {
    // The 521 distinct slot values first: the low bins as they are, then the
    // groups. Every high bin's share is independent (the divisions
    // vectorise); each group then sums its shares in bin order, the first
    // group from 0, and 0 + share = share.
    float* source = sources.data();
    std::copy(bins, bins + kLowBins, source);
    float* share = shares.data();
    for (int h = 0; h < kBins - kLowBins; ++h) {
        share[h] = bins[kLowBins + h] / highDivisor[h];
    }
    for (std::size_t g = 0; g + 1 < groupFirst.size(); ++g) {
        float sum = share[groupFirst[g]];
        for (int h = groupFirst[g] + 1; h < groupFirst[g + 1]; ++h) {
            sum = sum + share[h];
        }
        source[static_cast<std::size_t>(kLowBins) + g] = sum;
    }
    warpedPending = true;
}

const std::vector<float>& SpectrumJuiced2DComponent::getWarped() const {
    // Spread over the slots: a low bin over its run of slots.
    if (warpedPending) {
        warpedPending = false;
        const int* from = slotSource.data();
        for (std::size_t j = 0; j < static_cast<std::size_t>(kSlots); ++j) {
            warped[j] = sources[static_cast<std::size_t>(from[j])];
        }
    }
    return warped;
}

KORVALA_AVX2_CLONE
void SpectrumJuiced2DComponent::blurXAxis() {
    constexpr std::size_t radius = kBlurRadius;
    const std::size_t n = static_cast<std::size_t>(kSlots);
    logScaleSlots();
    for (std::size_t e = 0; e < radius; ++e) {
        padded[e] = padded[radius];
        padded[n + radius + e] = padded[n + radius - 1];
    }

    std::array<float, 2 * radius + 1> taps;
    for (std::size_t t = 0; t < taps.size(); ++t) {
        taps[t] = blurKernel[t < radius ? radius - t : t - radius];
    }

    // Each output sums its 15 products from offset −7 to +7 in that order,
    // starting from 0; the outputs are independent and vectorise.
    const float* window = padded.data();
    float* sum = blurred.data();
    for (std::size_t i = 0; i < n; ++i) {
        float s = 0.0f;
        for (std::size_t t = 0; t < taps.size(); ++t) {
            s = s + window[i + t] * taps[t];
        }
        sum[i] = s;
    }
    shapeAndSmooth(values.data(), sum, n, reactivityGain, reactivitySqrt, riseRate, fallRate);
}

void SpectrumJuiced2DComponent::logScaleSlots() {
    // One logarithm per distinct slot value, then spread over the slots like
    // the values themselves. Neighbouring values that are equal (quiet
    // stretches sit on the same floor) share one too: equal inputs give equal
    // results. The distinct values are gathered first, so that the
    // logarithms run back to back and the scaling vectorises.
    const float* source = sources.data();
    const std::size_t count = sources.size();
    float* distinct = sourceLogs.data();
    int* which = sourceRun.data();
    std::size_t runs = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k == 0 || !(source[k] == source[k - 1])) {
            distinct[runs++] = source[k];
        }
        which[k] = static_cast<int>(runs) - 1;
    }
    for (std::size_t r = 0; r < runs; ++r) {
        distinct[r] = std::log(distinct[r]);
    }
    scaleToOctaves(distinct, runs, ln2);
    const int* from = slotSource.data();
    float* out = padded.data() + kBlurRadius;
    for (std::size_t j = 0; j < static_cast<std::size_t>(kSlots); ++j) {
        out[j] = distinct[which[from[j]]];
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
    return smooth(previous, next);
}

} // namespace Korvala
