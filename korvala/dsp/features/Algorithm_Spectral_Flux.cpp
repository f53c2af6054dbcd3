#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"

#include <cmath>
#include <stdexcept>

void Algorithm_Spectral_Flux::transform(std::vector<float> magnitudes, KorDSPData* record) {
    record->getAlgosOut().spectralFlux = compute(magnitudes.data(), magnitudes.size());
}

float Algorithm_Spectral_Flux::compute(const float* magnitudes, std::size_t n) {
    current_.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        current_[k] = (magnitudes[k] * 4.0f) * magnitudes[k];
    }
    float flux = 0.0f;
    if (!previous_.empty()) {
        if (previous_.size() < n) {
            throw std::out_of_range("Algorithm_Spectral_Flux: previous spectrum is shorter");
        }
        for (std::size_t k = 0; k < n; ++k) {
            flux += halfWaveRectify(current_[k] - previous_[k]);
        }
    }
    // The two buffers trade places: no allocation once both have grown.
    previous_.swap(current_);
    return flux;
}

float Algorithm_Spectral_Flux::absoluteValueToMagnitude(float x) {
    return x * (4.0f * x);
}

float Algorithm_Spectral_Flux::halfWaveRectify(float x) {
    return (x + std::fabs(x)) * 0.5f;
}
