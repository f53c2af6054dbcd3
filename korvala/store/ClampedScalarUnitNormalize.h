#pragma once

/// Maps a value onto [0, 1] over [min, max], clamping outside and never failing.
class ClampedScalarUnitNormalize {
public:
    /// 1 above max, 0 below min, else (value − min) / (max − min); 0 for a zero or NaN ratio.
    static float calculate(float value, float min, float max);
};
