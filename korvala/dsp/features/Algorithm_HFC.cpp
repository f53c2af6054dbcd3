#include "korvala/dsp/features/Algorithm_HFC.h"

void Algorithm_HFC::transform(std::vector<float> magnitudes, float sampleRate, KorDSPData* record) {
    record->getAlgosOut().hfc = compute(magnitudes.data(), magnitudes.size(), sampleRate);
}

float Algorithm_HFC::compute(const float* magnitudes, std::size_t n, float sampleRate) {
    const float width = sampleRate / static_cast<float>(2 * n);
    float sum = 0.0f;
    for (std::size_t k = 0; k < n; ++k) {
        sum += ((static_cast<float>(2 * k + 1) * width) * 0.5f) * magnitudes[k];
    }
    return sum;
}
