#include "korvala/dsp/tempo/ComplexFloat.h"

#include <cmath>
#include <limits>

namespace kor {

ComplexFloat ComplexFloat::operator*(ComplexFloat other) const {
    return {re * other.re - im * other.im, re * other.im + im * other.re};
}

ComplexFloat ComplexFloat::operator*(double factor) const {
    return {static_cast<float>(static_cast<double>(re) * factor),
            static_cast<float>(static_cast<double>(im) * factor)};
}

ComplexFloat ComplexFloat::operator/(double divisor) const {
    return {static_cast<float>(static_cast<double>(re) / divisor),
            static_cast<float>(static_cast<double>(im) / divisor)};
}

float ComplexFloat::abs() const {
    return std::sqrt(re * re + im * im);
}

float ComplexFloat::phase() const {
    constexpr float kHalfPi = 1.5707964f;
    constexpr float kPi = 3.1415927f;
    constexpr float kThreeHalfPi = 4.712389f;
    if (re > 0.0f && im >= 0.0f) {
        return std::atan(im / re);
    }
    if (re <= 0.0f && im > 0.0f) {
        return kHalfPi - std::atan(re / im);
    }
    if (re < 0.0f && im <= 0.0f) {
        return std::atan(im / re) + kPi;
    }
    if (re >= 0.0f && im < 0.0f) {
        return kThreeHalfPi - std::atan(re / im);
    }
    if (std::isnan(re) || std::isnan(im)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    return 0.0f;
}

std::ostream& operator<<(std::ostream& out, const ComplexFloat& value) {
    return out << "real: " << value.real() << " imag: " << value.imag();
}

} // namespace kor
