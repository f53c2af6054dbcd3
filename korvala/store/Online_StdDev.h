#pragma once

/// Running population standard deviation of a sliding window.
class Online_StdDev {
public:
    /// Standard deviation after the window update, given the new `mean`.
    /// A variance that rounding made negative yields the smallest normal float.
    float calculate(float leaving, float entering, unsigned long count, float mean);

private:
    double runningSumOfSquares_ = 0.0;
};
