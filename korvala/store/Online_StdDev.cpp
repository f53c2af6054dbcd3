#include "korvala/store/Online_StdDev.h"

#include <algorithm>
#include <cmath>
#include <limits>

float Online_StdDev::calculate(float leaving, float entering, unsigned long count, float mean) {
    const float delta = entering * entering - leaving * leaving;
    runningSumOfSquares_ += static_cast<double>(delta);
    // Products of floats are exact in double: only the sum rounds, 2^-29 as
    // coarsely as the float differences do.
    const auto e = static_cast<double>(entering);
    const auto l = static_cast<double>(leaving);
    exactSumOfSquares_ += e * e - l * l;
    return result(count, mean);
}

float Online_StdDev::result(unsigned long count, float mean) const {
    const float meanSquared = mean * mean;
    const float result = static_cast<float>(std::sqrt(
        runningSumOfSquares_ / static_cast<double>(count) - static_cast<double>(meanSquared)));
    if (std::isnan(result)) {
        return std::numeric_limits<float>::min();
    }
    return result;
}

bool Online_StdDev::drifted(double sum, unsigned long count) const {
    const double kept = std::fabs(runningSumOfSquares_ - exactSumOfSquares_);
    const double spread =
        std::max(exactSumOfSquares_ - sum * sum / static_cast<double>(count), 0.0);
    // Written as "not within" so that a sum an overflow made infinite or NaN
    // counts as drifted too.
    const double flat = 1e-10 / 64.0 * static_cast<double>(count);
    return !(kept <= 0x1p-16 * std::fabs(exactSumOfSquares_)) && !(kept <= 0x1p-4 * spread) &&
           !(kept <= flat);
}

void Online_StdDev::rebuild(const float* window, unsigned long n) {
    double sum = 0.0;
    for (unsigned long i = 0; i < n; ++i) {
        const auto v = static_cast<double>(window[i]);
        sum += v * v;
    }
    runningSumOfSquares_ = sum;
    exactSumOfSquares_ = sum;
}
