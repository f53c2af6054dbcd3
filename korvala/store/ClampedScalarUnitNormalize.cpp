#include "korvala/store/ClampedScalarUnitNormalize.h"

#include <cmath>

float ClampedScalarUnitNormalize::calculate(float value, float min, float max) {
    if (value > max) {
        return 1.0f;
    }
    if (min > value) {
        return 0.0f;
    }
    const float range = max - min;
    if (range == 0.0f) {
        return 0.0f;
    }
    const float result = (value - min) / range;
    return std::isnan(result) ? 0.0f : result;
}
