#pragma once

/// Distance of a frequency from 440 Hz in octaves (880 Hz gives 1, 220 Hz gives −1).
class MusicalFrequencyLogScale {
public:
    /// Stops the program on a negative or NaN frequency; 0 counts as the smallest normal float.
    static float calculate(float frequency);
};
