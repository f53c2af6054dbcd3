// FFTW3 (single precision) backend of the FFT seam. FFTW is GPL: a binary
// built with this backend is covered by the GPL.
#include "korvala/dsp/fft/RealFFT.h"

#include "korvala/detail/Simd.h"

#include <fftw3.h>

#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

namespace kor {

namespace {
// FFTW's planner is not thread-safe; engines may be built on several threads.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}
} // namespace

struct RealFFT::Impl {
    float* in = nullptr;
    fftwf_complex* out = nullptr;
    fftwf_plan plan = nullptr;
};

RealFFT::RealFFT(std::size_t n) : n_(n), impl_(std::make_unique<Impl>()) {
    if (n < 2 || (n & (n - 1)) != 0) {
        throw std::invalid_argument("RealFFT: size must be a power of two >= 2");
    }
    std::lock_guard<std::mutex> lock(plannerMutex());
    impl_->in = fftwf_alloc_real(n);
    impl_->out = fftwf_alloc_complex(n / 2 + 1);
    if (impl_->in == nullptr || impl_->out == nullptr) {
        fftwf_free(impl_->in);
        fftwf_free(impl_->out);
        throw std::bad_alloc();
    }
    impl_->plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), impl_->in, impl_->out,
                                        FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
    // Executing a null plan would crash on the first block; fail here instead.
    if (impl_->plan == nullptr) {
        fftwf_free(impl_->in);
        fftwf_free(impl_->out);
        throw std::bad_alloc();
    }
}

RealFFT::~RealFFT() {
    std::lock_guard<std::mutex> lock(plannerMutex());
    fftwf_destroy_plan(impl_->plan);
    fftwf_free(impl_->in);
    fftwf_free(impl_->out);
}

void RealFFT::forward(const float* in, float* re, float* im) {
    std::memcpy(impl_->in, in, n_ * sizeof(float));
    fftwf_execute(impl_->plan);
    // FFTW writes interleaved (re, im) pairs; split them four bins at a time.
    const std::size_t bins = n_ / 2 + 1;
    const float* out = &impl_->out[0][0];
    std::size_t k = 0;
#if defined(__SSE2__) || defined(_M_X64)
    for (; k + 4 <= bins; k += 4) {
        const __m128 a = _mm_loadu_ps(out + 2 * k);     // re0 im0 re1 im1
        const __m128 b = _mm_loadu_ps(out + 2 * k + 4); // re2 im2 re3 im3
        _mm_storeu_ps(re + k, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(im + k, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#endif
    for (; k < bins; ++k) {
        re[k] = out[2 * k];
        im[k] = out[2 * k + 1];
    }
}

} // namespace kor
