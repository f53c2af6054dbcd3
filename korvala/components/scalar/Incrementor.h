#pragma once

/// Integrates a rate over time: value += amount × dt × scale × speed, with scale 7.5.
class Incrementor {
public:
    Incrementor() = default;

    /// Adds amount × dt × scale × speed (multiplied in that order); returns the new value.
    float update(float amount, float dt, float speed);

    float getValue() const { return value; }
    void setValue(float v) { value = v; }

private:
    float value = 0.0f;
    float scale = 7.5f;
};
