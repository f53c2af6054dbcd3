#include "korvala/components/scalar/LogScale.h"

#include <cmath>

float LogScale::calculate(float value, float divisor) {
    return std::log2((value + 1.0f) / divisor);
}
