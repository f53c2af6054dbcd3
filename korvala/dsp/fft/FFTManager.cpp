#include "korvala/dsp/fft/FFTManager.h"

#include "korvala/detail/Simd.h"

#include <cmath>
#include <sleef.h>
#include <stdexcept>

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
void phasesSse2(const float* re, const float* im, float* out, std::uint32_t n) {
    std::uint32_t k = 0;
#if defined(__x86_64__) || defined(_M_X64)
    for (; k + 4 <= n; k += 4) {
        _mm_storeu_ps(out + k, Sleef_atan2f4_u10sse2(_mm_loadu_ps(im + k), _mm_loadu_ps(re + k)));
    }
    if (k < n) {
        // The last few bins go through the same routine, padded with zeros.
        alignas(16) float y[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        alignas(16) float x[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        alignas(16) float r[4];
        for (std::uint32_t j = 0; k + j < n; ++j) {
            y[j] = im[k + j];
            x[j] = re[k + j];
        }
        _mm_store_ps(r, Sleef_atan2f4_u10sse2(_mm_load_ps(y), _mm_load_ps(x)));
        for (std::uint32_t j = 0; k + j < n; ++j) {
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
                                                    std::uint32_t n) {
    std::uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        _mm256_storeu_ps(out + k,
                         Sleef_atan2f8_u10avx2(_mm256_loadu_ps(im + k), _mm256_loadu_ps(re + k)));
    }
    if (k < n) {
        alignas(32) float y[8] = {};
        alignas(32) float x[8] = {};
        alignas(32) float r[8];
        for (std::uint32_t j = 0; k + j < n; ++j) {
            y[j] = im[k + j];
            x[j] = re[k + j];
        }
        _mm256_store_ps(r, Sleef_atan2f8_u10avx2(_mm256_load_ps(y), _mm256_load_ps(x)));
        for (std::uint32_t j = 0; k + j < n; ++j) {
            out[k + j] = r[j];
        }
    }
}

bool haveAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

void phases(const float* re, const float* im, float* out, std::uint32_t n) {
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
KORVALA_AVX2_CLONE void fixUp(float* re, float* im, float* pow, float* mag, std::uint32_t bins,
                              float scale) {
    for (std::uint32_t k = 0; k < bins; ++k) {
        const float r = (re[k] * 2.0f) * scale;
        const float i = ((im[k] * 2.0f) * -1.0f) * scale;
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

FFTManager::FFTManager(unsigned int n)
    : log2N(0), bins(n >> 1), fft(std::make_unique<kor::RealFFT>(n)),
      real(new float[(n >> 1) + 1]()), imag(new float[(n >> 1) + 1]()),
      magnitude(new float[n >> 1]()), power(new float[n >> 1]()), phase(new float[n >> 1]()),
      samples(new float[n]()), window(std::make_unique<FFTWindow>(n, WindowingFunction::Blackman)) {
    for (unsigned int v = n; v > 1; v >>= 1) {
        ++log2N;
    }
    realVector.reserve(bins);
    imagVector.reserve(bins);
    magnitudeVector.reserve(bins);
    powerVector.reserve(bins);
    phaseVector.reserve(bins);
}

FFTManager::~FFTManager() = default;

void FFTManager::setFilter(WindowingFunction type) {
    window->set_windowing_function(type);
}

void FFTManager::transform(const std::vector<float>& input, KorDSPData* record) {
    const std::size_t n = size();
    if (input.size() != n) {
        throw std::invalid_argument("FFTManager::transform: the input must hold exactly N samples");
    }
    if (record != nullptr) {
        record->channelBuffer().assign(input.begin(), input.end());
    }
    // The previous spectrum, if never read, is simply replaced.
    window->apply_window(input.data(), samples.get());
    spectrumFromWindowed(samples.get(), true, !phasesOnRequest);
    phasesPending = phasesOnRequest;
    if (record != nullptr) {
        // Filled in place rather than through a fresh KorFFTOut: same values,
        // and the record's vectors keep their storage from block to block.
        KorFFTOut& out = record->getFFTOut();
        out.real.assign(real.get(), real.get() + bins);
        out.imag.assign(imag.get(), imag.get() + bins);
        out.magnitudes.assign(magnitude.get(), magnitude.get() + bins);
        out.squaredMagnitudes.assign(power.get(), power.get() + bins);
        if (!phasesOnRequest) {
            out.phases.assign(phase.get(), phase.get() + bins);
        }
    }
    // The member vectors are copied from the bin arrays when first read.
    vectorsPending = true;
}

KorFFTOut FFTManager::getFFTData(float* buffer) {
    processSamples(buffer);
    KorFFTOut out;
    out.real.assign(real.get(), real.get() + bins);
    out.imag.assign(imag.get(), imag.get() + bins);
    out.magnitudes.assign(magnitude.get(), magnitude.get() + bins);
    out.squaredMagnitudes.assign(power.get(), power.get() + bins);
    out.phases.assign(phase.get(), phase.get() + bins);
    return out;
}

void FFTManager::processSamples(float* buffer) {
    keepVectors();
    multiplyByFilter(buffer);
    spectrumFromWindowed(buffer, true, true);
}

void FFTManager::analyse(const float* input, bool withPhase) {
    keepVectors();
    window->apply_window(input, samples.get());
    spectrumFromWindowed(samples.get(), true, withPhase);
}

void FFTManager::analysePower(const float* input) {
    keepVectors();
    window->apply_window(input, samples.get());
    spectrumFromWindowed(samples.get(), false, false);
}

void FFTManager::computePhases(const float* re, const float* im, float* out, std::uint32_t n) {
    phases(re, im, out, n);
}

void FFTManager::completePhases() const {
    if (phasesPending) {
        phasesPending = false;
        phases(real.get(), imag.get(), phase.get(), bins);
    }
}

const float* FFTManager::phaseData() const {
    completePhases();
    return phase.get();
}

void FFTManager::spectrumFromWindowed(float* buffer, bool withMagnitude, bool withPhase) {
    fft->forward(buffer, real.get(), imag.get());
    // The packed real FFT this stage was designed around returns twice the
    // DFT with the Nyquist term in imag[0]. Rebuild that form exactly
    // (doubling is exact), zero imag[0], conjugate, then scale — each bin's
    // steps in that order, in one pass. Bin 0's imaginary part ends as −0.
    const float scale = normalizationScale();
    float* re = real.get();
    float* im = imag.get();
    float* mag = magnitude.get();
    float* pow = power.get();
    im[0] = 0.0f;
    if (withMagnitude) {
        fixUp<true>(re, im, pow, mag, bins, scale);
    } else {
        fixUp<false>(re, im, pow, mag, bins, scale);
    }
    if (withPhase) {
        phases(re, im, phase.get(), bins);
    }
    phasesPending = false;
}

float FFTManager::normalizationScale() const {
    return 1.0f / (2.0f * std::sqrt(static_cast<float>(2u * bins)));
}

void FFTManager::keepVectors() {
    // The arrays are about to be overwritten: the member vectors must first
    // receive the last transform's spectrum if nobody has read it yet.
    if (vectorsPending) {
        populateVectors();
    }
}

void FFTManager::refreshVectors() const {
    if (vectorsPending) {
        fillVectors();
    }
}

void FFTManager::fillVectors() const {
    vectorsPending = false;
    completePhases();
    realVector.assign(real.get(), real.get() + bins);
    imagVector.assign(imag.get(), imag.get() + bins);
    magnitudeVector.assign(magnitude.get(), magnitude.get() + bins);
    powerVector.assign(power.get(), power.get() + bins);
    phaseVector.assign(phase.get(), phase.get() + bins);
}

const std::vector<float>& FFTManager::getReal() const {
    refreshVectors();
    return realVector;
}

const std::vector<float>& FFTManager::getImag() const {
    refreshVectors();
    return imagVector;
}

const std::vector<float>& FFTManager::getMagnitudes() const {
    refreshVectors();
    return magnitudeVector;
}

const std::vector<float>& FFTManager::getSquaredMagnitudes() const {
    refreshVectors();
    return powerVector;
}

const std::vector<float>& FFTManager::getPhases() const {
    refreshVectors();
    return phaseVector;
}

void FFTManager::normalize() {
    const float scale = normalizationScale();
    float* re = real.get();
    float* im = imag.get();
    for (std::uint32_t k = 0; k < bins; ++k) {
        re[k] = re[k] * scale;
        im[k] = im[k] * scale;
    }
}

void FFTManager::multiplyByFilter(float* buffer) {
    window->apply_window(buffer);
}

void FFTManager::populateVectors() {
    fillVectors();
}
