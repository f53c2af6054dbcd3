#pragma once

/// Distance of a value from the window mean, in standard deviations.
class Online_Deviance {
public:
    /// (value − mean) / sd, or 0 when the window is flat (sd ≤ 1e-5) or the ratio is NaN.
    float calculate(float value, float stdDev, float mean);
};
