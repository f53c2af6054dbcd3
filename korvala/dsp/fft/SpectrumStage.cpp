#include "korvala/dsp/fft/SpectrumStage.h"

#include "korvala/detail/Simd.h"

#include <cmath>
#include <sleef.h>

#if defined(__x86_64__) && defined(__GNUC__)
#define KORVALA_ATAN2_AVX2 1
// SLEEF's header declares its 256-bit functions only when the whole unit is
// built for AVX; the library always carries them. This one needs AVX2 and FMA
// and is called only after a run-time check.
extern "C" __attribute__((target("avx2,fma"))) __m256 Sleef_atan2f8_u10avx2(__m256, __m256);
#endif

namespace {
// Phases come from SLEEF's atan2 (error below 1 ulp) instead of the C
// library's scalar atan2f, which costs more than the FFT itself. The last bit
// of a phase may differ from the C library's; nothing downstream reads phases,
// they are only stored in the record. Eight bins at a time where the processor
// has AVX2 and FMA, else four with SSE2; the choice is made once per process,
// so a machine always gives the same phases.
void phasesSse2(const float* re, const float* im, float* out, std::size_t n) {
    std::size_t k = 0;
#if defined(__x86_64__) || defined(_M_X64)
    for (; k + 4 <= n; k += 4) {
        _mm_storeu_ps(out + k, Sleef_atan2f4_u10sse2(_mm_loadu_ps(im + k), _mm_loadu_ps(re + k)));
    }
    if (k < n) {
        // The last few bins go through the same routine, padded with zeros.
        alignas(16) float y[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        alignas(16) float x[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        alignas(16) float r[4];
        for (std::size_t j = 0; k + j < n; ++j) {
            y[j] = im[k + j];
            x[j] = re[k + j];
        }
        _mm_store_ps(r, Sleef_atan2f4_u10sse2(_mm_load_ps(y), _mm_load_ps(x)));
        for (std::size_t j = 0; k + j < n; ++j) {
            out[k + j] = r[j];
        }
    }
#else
    for (; k < n; ++k) {
        out[k] = Sleef_atan2f_u10(im[k], re[k]);
    }
#endif
}

#if defined(KORVALA_ATAN2_AVX2)
__attribute__((target("avx2,fma"))) void phasesAvx2(const float* re, const float* im, float* out,
                                                    std::size_t n) {
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        _mm256_storeu_ps(out + k,
                         Sleef_atan2f8_u10avx2(_mm256_loadu_ps(im + k), _mm256_loadu_ps(re + k)));
    }
    if (k < n) {
        alignas(32) float y[8] = {};
        alignas(32) float x[8] = {};
        alignas(32) float r[8];
        for (std::size_t j = 0; k + j < n; ++j) {
            y[j] = im[k + j];
            x[j] = re[k + j];
        }
        _mm256_store_ps(r, Sleef_atan2f8_u10avx2(_mm256_load_ps(y), _mm256_load_ps(x)));
        for (std::size_t j = 0; k + j < n; ++j) {
            out[k + j] = r[j];
        }
    }
}

bool haveAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

void phasesOf(const float* re, const float* im, float* out, std::size_t n) {
#if defined(KORVALA_ATAN2_AVX2)
    static const bool avx2 = haveAvx2();
    if (avx2) {
        phasesAvx2(re, im, out, n);
        return;
    }
#endif
    phasesSse2(re, im, out, n);
}

// The fix-up of the packed transform, then power and, where asked for,
// magnitude, bin by bin.
template <bool kMagnitudes>
KORVALA_AVX2_CLONE void fixUp(const float* __restrict fftRe, const float* __restrict fftIm,
                              float* __restrict re, float* __restrict im, float* __restrict pow,
                              float* __restrict mag, std::size_t bins, float scale) {
    for (std::size_t k = 0; k < bins; ++k) {
        const float r = (fftRe[k] * 2.0f) * scale;
        const float i = ((fftIm[k] * 2.0f) * -1.0f) * scale;
        re[k] = r;
        im[k] = i;
        const float p = r * r + i * i;
        pow[k] = p;
        if constexpr (kMagnitudes) {
            mag[k] = std::sqrt(p);
        }
    }
}
} // namespace

SpectrumStage::SpectrumStage(std::size_t n)
    : bins_(n / 2), fft_(n), window_(n, WindowingFunction::Blackman), windowed_(n, 0.0f),
      re_(n / 2 + 1, 0.0f), im_(n / 2 + 1, 0.0f) {}

float SpectrumStage::scale() const {
    return 1.0f / (2.0f * std::sqrt(static_cast<float>(2 * bins_)));
}

void SpectrumStage::run(const float* input, float* real, float* imag, float* power,
                        float* magnitude) {
    window_.apply_window(input, windowed_.data());
    fft_.forward(windowed_.data(), re_.data(), im_.data());
    // The packed real FFT this stage was designed around returns twice the
    // DFT with the Nyquist term in imag[0]. Rebuild that form exactly
    // (doubling is exact), zero imag[0], conjugate, then scale — each bin's
    // steps in that order, in one pass. Bin 0's imaginary part ends as −0.
    im_[0] = 0.0f;
    if (magnitude != nullptr) {
        fixUp<true>(re_.data(), im_.data(), real, imag, power, magnitude, bins_, scale());
    } else {
        fixUp<false>(re_.data(), im_.data(), real, imag, power, nullptr, bins_, scale());
    }
}

void SpectrumStage::phases(const float* re, const float* im, float* out, std::size_t n) {
    phasesOf(re, im, out, n);
}
