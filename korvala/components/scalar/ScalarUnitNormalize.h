#pragma once

/// Maps a value within [min, max] onto [0, 1].
class ScalarUnitNormalize {
public:
    /// (value − min) / (max − min); stops the program if value lies outside [min, max].
    static float calculate(float value, float min, float max);
};
