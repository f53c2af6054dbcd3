#include "korvala/store/Online_Deviance.h"

#include <cmath>

float Online_Deviance::calculate(float value, float stdDev, float mean) {
    const float ratio = (value - mean) / stdDev;
    if (std::isnan(ratio)) {
        return 0.0f;
    }
    if (!(static_cast<double>(stdDev) - 0.00001 > 0.0)) {
        return 0.0f;
    }
    return ratio;
}
