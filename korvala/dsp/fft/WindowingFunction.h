#pragma once

#include <cstdint>

/// The window applied to the samples before the FFT.
enum class WindowingFunction : std::int32_t {
    None = 0,
    Welch = 1,
    Hanning = 2,
    Hamming = 3,
    Blackman = 4,
    Nuttal = 5,
};
