#pragma once

#include "korvala/components/ComponentMath.h"

namespace Korvala::ReactivityCurve {

/// The display curve for a reactivity gain g in (1, 2]: below 0.721 values
/// follow the quadratic (2.05y + (2.5y)²) / 5.5, from 0.721 up the line
/// 0.5y + 0.5, blended with y by g − 1. Both curves are formed in double from
/// the float y and rounded to float before blending.
/// The lively curve with its blend already limited: t = unitLimit(gain − 1).
/// Loops take t once, so that they hold no test on it.
inline float livelyBlend(float y, float t) {
    const double yd = static_cast<double>(y);
    const auto quadratic = static_cast<float>((yd * 2.05 + (yd * 2.5) * (yd * 2.5)) / 5.5);
    const auto line = static_cast<float>(yd * 0.5 + 0.5);
    // step is 0 or 1, already within [0, 1].
    const float shaped = ComponentMath::blend(quadratic, line, ComponentMath::step(0.721f, y));
    return ComponentMath::blend(y, shaped, t);
}

inline float lively(float y, float gain) {
    return livelyBlend(y, ComponentMath::unitLimit(gain - 1.0f));
}

} // namespace Korvala::ReactivityCurve
