#include "korvala/components/scalar/Accumulator.h"

Accumulator Accumulator::createWithHalfLife(float halfLife, AccumulatorType type) {
    const auto x = static_cast<float>(0.6931471806 / static_cast<double>(halfLife) / 60.0);
    const float decay = 1.0f - x;
    return Accumulator(decay, type);
}

float Accumulator::update(float input, float dt) {
    switch (type) {
    case AccumulatorType::Peak:
        value = value * (1.0f + dt * rate * -60.0f);
        if (input > value) {
            value = input;
        }
        break;
    case AccumulatorType::Smooth:
        value = value + (dt * rate * 60.0f) * (input - value);
        break;
    case AccumulatorType::Trough:
        value = value * (1.0f + dt * rate * 60.0f);
        if (value > input) {
            value = input;
        }
        break;
    default:
        break;
    }
    return value;
}
