// KissFFT backend of the FFT seam (BSD-3-Clause).
#include "korvala/dsp/fft/RealFFT.h"

#include <kiss_fftr.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace kor {

struct RealFFT::Impl {
    kiss_fftr_cfg cfg = nullptr;
    std::vector<kiss_fft_cpx> out;
};

RealFFT::RealFFT(std::size_t n) : n_(n), impl_(std::make_unique<Impl>()) {
    // KissFFT's real transform silently misbehaves for sizes it cannot pack.
    if (n < 2 || (n & (n - 1)) != 0) {
        throw std::invalid_argument("RealFFT: size must be a power of two >= 2");
    }
    impl_->cfg = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
    if (impl_->cfg == nullptr) {
        throw std::bad_alloc();
    }
    impl_->out.resize(n / 2 + 1);
}

RealFFT::~RealFFT() {
    kiss_fftr_free(impl_->cfg);
}

void RealFFT::forward(const float* in, float* re, float* im) {
    kiss_fftr(impl_->cfg, in, impl_->out.data());
    const std::size_t bins = n_ / 2 + 1;
    for (std::size_t k = 0; k < bins; ++k) {
        re[k] = impl_->out[k].r;
        im[k] = impl_->out[k].i;
    }
}

} // namespace kor
