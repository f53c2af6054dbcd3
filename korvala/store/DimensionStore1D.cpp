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
    // The running sums are never rebuilt from the window, so a non-finite value
    // would stay in them for ever: it enters as silence instead.
    if (!std::isfinite(value)) {
        value = 0.0f;
    }
    const float leaving = dimensionBuffer_->leaving();
    dimensionBuffer_->push(value);
    const auto count = static_cast<unsigned long>(dimensionBuffer_->count());

    const float mean = mean_.calculate(leaving, value, count);
    const float sd = stdDev_.calculate(leaving, value, count, mean);
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
