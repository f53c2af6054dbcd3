#include "korvala/store/Online_Mean.h"

float Online_Mean::calculate(float leaving, float entering, unsigned long count) {
    runningSum_ = (static_cast<double>(entering) + runningSum_) - static_cast<double>(leaving);
    return static_cast<float>(runningSum_ / static_cast<double>(count));
}
