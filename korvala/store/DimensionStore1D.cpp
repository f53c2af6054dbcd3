#include "korvala/store/DimensionStore1D.h"

#include "korvala/store/ClampedScalarUnitNormalize.h"

#include <cmath>
#include <limits>

namespace {
constexpr float kSmallestNormal = std::numeric_limits<float>::min();
} // namespace

DimensionStore1D::DimensionStore1D(unsigned long n)
    : length_(n), dimensionBuffer_(std::make_unique<DoubleRingBuffer<float>>(n)),
      meanBuffer_(std::make_unique<DoubleRingBuffer<float>>(n)),
      stdDevBuffer_(std::make_unique<DoubleRingBuffer<float>>(n)),
      devianceBuffer_(std::make_unique<DoubleRingBuffer<float>>(n)), accumulator_(kSmallestNormal) {
}

void DimensionStore1D::add(float value) {
    // A non-finite value would leave the running sums non-finite for ever: it
    // enters as silence instead.
    if (!std::isfinite(value)) {
        value = 0.0f;
    }
    const float leaving = dimensionBuffer_->leaving();
    dimensionBuffer_->push(value);
    const auto count = static_cast<unsigned long>(dimensionBuffer_->count());

    float mean = mean_.calculate(leaving, value, count);
    float sd = stdDev_.calculate(leaving, value, count, mean);
    // After a burst of values far larger than those now in the window, the
    // running sums hold its rounding, not the window: start them afresh from
    // the window (in constant time on ordinary audio, which never gets here).
    if (stdDev_.drifted(mean_.sum(), count)) {
        const float* window = dimensionBuffer_->window();
        const auto n = static_cast<unsigned long>(length_);
        mean = mean_.rebuild(window, n, count);
        stdDev_.rebuild(window, n);
        sd = stdDev_.result(count, mean);
    }
    const float deviance = deviance_.calculate(value, sd, mean);

    meanBuffer_->push(mean);
    stdDevBuffer_->push(sd);
    devianceBuffer_->push(deviance);
    update_accumulator(value);
}

void DimensionStore1D::update_accumulator(float value) {
    const auto decayed = static_cast<float>(static_cast<double>(accumulator_) * 0.9995);
    float next = value > decayed ? value : decayed;
    if (next == 0.0f) {
        next = kSmallestNormal;
    }
    accumulator_ = next;
}

float DimensionStore1D::getAccumulatorNormalized() const {
    return getRaw() / accumulator_;
}

float DimensionStore1D::getClampedAutoNormalized() const {
    const float mean = getMean();
    const float spread = 3.0f * getStdDev();
    return ClampedScalarUnitNormalize::calculate(getRaw(), mean - spread, mean + spread);
}
