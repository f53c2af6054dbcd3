#pragma once

/// A stand-alone decaying accumulator (peak or additive); not used by the store.
class Online_Accum {
public:
    enum class AccumType : int { Peak = 0, Additive = 1 };

    void setAccumType(AccumType type) { type_ = type; }
    void setAccumDropoff(float dropoff) { dropoff_ = dropoff; }
    void setAdditiveCoefficient(float coefficient) { coefficient_ = coefficient; }

    /// Decays the value by the dropoff, then folds in x; returns the new value.
    float calculate(float x);

private:
    float coefficient_ = 0.1f;
    float value_ = 0.0f;
    float dropoff_ = 0.99f;
    AccumType type_ = AccumType::Peak;
};
