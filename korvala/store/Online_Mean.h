#pragma once

/// Running mean of a sliding window, kept as a double-precision running sum.
class Online_Mean {
public:
    /// New mean after `leaving` drops out and `entering` comes in; `count` values remain.
    float calculate(float leaving, float entering, unsigned long count);

    double sum() const { return runningSum_; }
    /// Restarts the running sum from the window's n values; returns the mean.
    float rebuild(const float* window, unsigned long n, unsigned long count);

private:
    double runningSum_ = 0.0;
};
