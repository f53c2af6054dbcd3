#pragma once

/// Running mean of a sliding window, kept as a double-precision running sum.
class Online_Mean {
public:
    /// New mean after `leaving` drops out and `entering` comes in; `count` values remain.
    float calculate(float leaving, float entering, unsigned long count);

private:
    double runningSum_ = 0.0;
};
