#pragma once

/// Running population standard deviation of a sliding window.
///
/// The running sum of squares adds each window update as one float difference
/// of squares, so it keeps the rounding of every update for ever. Next to it
/// runs an exact-product double sum; when the two part by more than ordinary
/// rounding and by enough to matter for the window's spread (a burst of values
/// far larger than those now in the window has left it), the owner rebuilds
/// both from the window's contents. Ordinary audio never gets there, so its
/// results keep every bit.
class Online_StdDev {
public:
    /// Standard deviation after the window update, given the new `mean`.
    /// A variance that rounding made negative yields the smallest normal float.
    float calculate(float leaving, float entering, unsigned long count, float mean);

    /// The standard deviation of the current sums (the last step of calculate).
    float result(unsigned long count, float mean) const;

    /// True when the running sum can no longer be right for a window whose
    /// values sum to `sum`: its kept rounding exceeds 2^-16 of the sum of
    /// squares, 1/16 of the squared deviations from the mean, and 1/64 of the
    /// variance (1e-10 per value) under which the deviance reads a flat window.
    bool drifted(double sum, unsigned long count) const;

    /// Recomputes both sums from the window's n values.
    void rebuild(const float* window, unsigned long n);

private:
    double runningSumOfSquares_ = 0.0;
    double exactSumOfSquares_ = 0.0;
};
