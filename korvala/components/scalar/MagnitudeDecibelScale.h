#pragma once

/// Power in decibels: 10 × log10(magnitude); 0 counts as the smallest normal float.
class MagnitudeDecibelScale {
public:
    /// Stops the program on a negative or NaN magnitude.
    static float calculate(float magnitude);
};
