#include "korvala/store/Online_Accum.h"

float Online_Accum::calculate(float x) {
    value_ = value_ * dropoff_;
    if (type_ == AccumType::Additive) {
        value_ = x * coefficient_ + value_;
    } else if (type_ == AccumType::Peak) {
        if (x > value_) {
            value_ = x;
        }
    }
    return value_;
}
