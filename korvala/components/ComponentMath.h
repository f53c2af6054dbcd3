#pragma once

namespace Korvala::ComponentMath {

/// low if x < low, high if high < x, else x (NaN passes through).
inline float clamp(float x, float low, float high) {
    if (x < low) {
        return low;
    }
    if (high < x) {
        return high;
    }
    return x;
}

/// t limited to [0, 1] as mix limits it (NaN passes through).
inline float unitLimit(float t) {
    t = t > 1.0f ? 1.0f : t;
    return t < 0.0f ? 0.0f : t;
}

/// mix for a t already limited to [0, 1]: b·t in single precision, the rest
/// in double.
inline float blend(float a, float b, float t) {
    const float bt = b * t;
    return static_cast<float>(static_cast<double>(bt) +
                              (1.0 - static_cast<double>(t)) * static_cast<double>(a));
}

/// Blend with t limited to [0, 1]: b·t in single precision, the rest in double.
inline float mix(float a, float b, float t) {
    return blend(a, b, unitLimit(t));
}

/// 0 if x < edge, else 1 (NaN gives 1).
inline float step(float edge, float x) {
    return x < edge ? 0.0f : 1.0f;
}

} // namespace Korvala::ComponentMath
