#pragma once

#include "korvala/components/scalar/AccumulatorType.h"

/// A peak follower, smoother or floor follower whose rate is stated per 1/60 s
/// and scaled by the real frame time.
class Accumulator {
public:
    explicit Accumulator(float decay) : Accumulator(decay, AccumulatorType::Peak) {}
    Accumulator(float decay, AccumulatorType type)
        : rate(1.0f - decay), defaultRate(1.0f - decay), type(type) {}

    /// An accumulator that halves a distance in `halfLife` seconds at 60 frames per second.
    static Accumulator createWithHalfLife(float halfLife, AccumulatorType type);

    /// One step over dt seconds; returns the new value.
    float update(float input, float dt);

    float getValue() const { return value; }
    void setValue(float v) { value = v; }
    float getDecay() const { return 1.0f - rate; }
    void setDecay(float decay) { rate = 1.0f - decay; }
    float getDefaultDecay() const { return 1.0f - defaultRate; }
    AccumulatorType getType() const { return type; }

private:
    float value = 0.0f;
    float rate;
    float defaultRate;
    AccumulatorType type;
};
