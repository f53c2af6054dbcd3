#include "korvala/store/Online_StdDev.h"

#include <cmath>
#include <limits>

float Online_StdDev::calculate(float leaving, float entering, unsigned long count, float mean) {
    const float delta = entering * entering - leaving * leaving;
    runningSumOfSquares_ += static_cast<double>(delta);
    const float meanSquared = mean * mean;
    const float result = static_cast<float>(std::sqrt(
        runningSumOfSquares_ / static_cast<double>(count) - static_cast<double>(meanSquared)));
    if (std::isnan(result)) {
        return std::numeric_limits<float>::min();
    }
    return result;
}
