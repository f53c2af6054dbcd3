#include "korvala/dsp/fft/FFTWindow.h"

#include "korvala/detail/Simd.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>

namespace {
float fromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
} // namespace

FFTWindow::FFTWindow(unsigned long size, WindowingFunction type)
    : pi_(3.14159274f), coefficients_(new float[size]()), size_(static_cast<float>(size)),
      length_(0) {
    // Every loop runs while the float index is below the float size; for sizes
    // a float holds exactly that is all N coefficients, and never more.
    while (length_ < size && static_cast<float>(length_) < size_) {
        ++length_;
    }
    set_windowing_function(type);
}

float FFTWindow::angle2(unsigned long i) const {
    return (pi_ + pi_) * static_cast<float>(i) / (size_ - 1.0f);
}

float FFTWindow::angle4(unsigned long i) const {
    return pi_ * 4.0f * static_cast<float>(i) / (size_ - 1.0f);
}

float FFTWindow::angle6(unsigned long i) const {
    return pi_ * 6.0f * static_cast<float>(i) / (size_ - 1.0f);
}

void FFTWindow::set_windowing_function(WindowingFunction type) {
    switch (type) {
    case WindowingFunction::None:
        set_none();
        return;
    case WindowingFunction::Welch:
        set_welch();
        return;
    case WindowingFunction::Hanning:
        set_hanning();
        return;
    case WindowingFunction::Hamming:
        set_hamming();
        return;
    case WindowingFunction::Blackman:
        set_blackman();
        return;
    case WindowingFunction::Nuttal:
        set_nuttal();
        return;
    }
    std::wcerr << "set_windowing_function bad windowingFunction Found";
}

KORVALA_AVX2_CLONE
void FFTWindow::apply_window(float* samples) const {
    const float* w = coefficients_.get();
    for (unsigned long i = 0; i < length_; ++i) {
        samples[i] *= w[i];
    }
}

KORVALA_AVX2_CLONE
void FFTWindow::apply_window(const float* in, float* out) const {
    const float* w = coefficients_.get();
    for (unsigned long i = 0; i < length_; ++i) {
        out[i] = in[i] * w[i];
    }
}

void FFTWindow::set_none() {
    const unsigned long n = length_;
    for (unsigned long i = 0; i < n; ++i) {
        coefficients_[i] = 1.0f;
    }
}

void FFTWindow::set_welch() {
    const unsigned long n = length_;
    const float c = (size_ - 1.0f) * 0.5f;
    for (unsigned long i = 0; i < n; ++i) {
        const float x = (static_cast<float>(i) - c) / c;
        coefficients_[i] = 1.0f - x * x;
    }
}

void FFTWindow::set_hanning() {
    const unsigned long n = length_;
    for (unsigned long i = 0; i < n; ++i) {
        coefficients_[i] = (1.0f - std::cos(angle2(i))) * 0.5f;
    }
}

void FFTWindow::set_hamming() {
    const unsigned long n = length_;
    for (unsigned long i = 0; i < n; ++i) {
        // Single-precision cosine, double-precision product and difference.
        const double c = static_cast<double>(std::cos(angle2(i)));
        coefficients_[i] = static_cast<float>(0.54 - 0.46 * c);
    }
}

void FFTWindow::set_blackman() {
    const unsigned long n = length_;
    // One float step above the float nearest 0.42: the coefficients depend on it.
    const float a0 = fromBits(0x3ED70A3Eu);
    for (unsigned long i = 0; i < n; ++i) {
        coefficients_[i] = a0 - 0.5f * std::cos(angle2(i)) + 0.08f * std::cos(angle4(i));
    }
}

void FFTWindow::set_nuttal() {
    const unsigned long n = length_;
    for (unsigned long i = 0; i < n; ++i) {
        coefficients_[i] = 0.355768f - 0.487396f * std::cos(angle2(i)) +
                           0.144232f * std::cos(angle4(i)) - 0.012604f * std::cos(angle6(i));
    }
}
