#pragma once

#include <vector>

/// The one-sided spectrum of the current analysis window (1024 bins).
struct KorFFTOut {
    std::vector<float> real;
    std::vector<float> imag;
    std::vector<float> magnitudes;
    std::vector<float> squaredMagnitudes;
    std::vector<float> phases;
};
