#pragma once

#include "korvala/dsp/fft/WindowingFunction.h"

#include <memory>

/// N window coefficients, computed once per window type and applied in place.
class FFTWindow {
public:
    /// Allocates N coefficients and fills them for `type`.
    FFTWindow(unsigned long size, WindowingFunction type);

    /// Refills the coefficients; an unknown type prints a diagnostic to the wide
    /// error stream and keeps the current coefficients.
    void set_windowing_function(WindowingFunction type);

    /// Multiplies samples[i] by coefficient i in place (N samples).
    void apply_window(float* samples) const;
    /// out[i] = in[i]·w[i] for the window's N values (in and out may not overlap).
    void apply_window(const float* in, float* out) const;

    void set_none();
    void set_welch();
    void set_hanning();
    void set_hamming();
    void set_blackman();
    void set_nuttal();

    const float* coefficients() const { return coefficients_.get(); }
    float size() const { return size_; }

private:
    /// (π + π)·i / M, π·4·i / M and π·6·i / M with M = N − 1, in single precision.
    float angle2(unsigned long i) const;
    float angle4(unsigned long i) const;
    float angle6(unsigned long i) const;

    float pi_;
    std::unique_ptr<float[]> coefficients_;
    float size_;
    unsigned long length_;
};
