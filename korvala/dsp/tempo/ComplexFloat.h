#pragma once

#include <ostream>

namespace kor {

/// A single-precision complex value.
class ComplexFloat {
public:
    ComplexFloat() = default;
    ComplexFloat(float real, float imag) : re(real), im(imag) {}

    float real() const { return re; }
    float imag() const { return im; }

    ComplexFloat conjugate() const { return {re, -im}; }
    /// Complex product in single precision.
    ComplexFloat operator*(ComplexFloat other) const;
    /// Each part widened to double, scaled, rounded back to float.
    ComplexFloat operator*(double factor) const;
    ComplexFloat operator/(double divisor) const;
    ComplexFloat operator+(ComplexFloat other) const { return {re + other.re, im + other.im}; }
    ComplexFloat operator-(ComplexFloat other) const { return {re - other.re, im - other.im}; }

    /// sqrt(re² + im²).
    float abs() const;
    /// re² + im² (no square root).
    float mag() const { return re * re + im * im; }
    /// The angle in [0, 2π), found by quadrant. (0, 0) gives 0 and a value with
    /// a NaN part gives NaN: neither lies in a quadrant.
    float phase() const;

private:
    float re = 0.0f;
    float im = 0.0f;
};

/// Writes "real: <re> imag: <im>" (no line end).
std::ostream& operator<<(std::ostream& out, const ComplexFloat& value);

} // namespace kor
