#pragma once

#include <cstddef>
#include <memory>

namespace kor {

/// The FFT seam: an N-point real forward DFT for power-of-two N, backed by the
/// library chosen at configure time (KissFFT or FFTW). Nothing else lives here.
class RealFFT {
public:
    /// Plans (or sets up) the transform once; N must be a power of two ≥ 2
    /// (std::invalid_argument otherwise).
    explicit RealFFT(std::size_t n);
    ~RealFFT();
    RealFFT(const RealFFT&) = delete;
    RealFFT& operator=(const RealFFT&) = delete;

    std::size_t size() const { return n_; }

    /// X[k] = Σ x[j]·e^(−2πi·jk/N) for k = 0 … N/2, unscaled: reads N samples,
    /// writes N/2 + 1 values to each of `re` and `im`.
    void forward(const float* in, float* re, float* im);

private:
    struct Impl;
    std::size_t n_;
    std::unique_ptr<Impl> impl_;
};

} // namespace kor
