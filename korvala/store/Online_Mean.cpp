#include "korvala/store/Online_Mean.h"

float Online_Mean::calculate(float leaving, float entering, unsigned long count) {
    runningSum_ = (static_cast<double>(entering) + runningSum_) - static_cast<double>(leaving);
    return static_cast<float>(runningSum_ / static_cast<double>(count));
}

float Online_Mean::rebuild(const float* window, unsigned long n, unsigned long count) {
    double sum = 0.0;
    for (unsigned long i = 0; i < n; ++i) {
        sum += static_cast<double>(window[i]);
    }
    runningSum_ = sum;
    return static_cast<float>(runningSum_ / static_cast<double>(count));
}
