#include "korvala/dsp/features/Algorithm_RMS.h"

#include <cmath>

void Algorithm_RMS::transform(std::vector<float> samples, KorDSPData* record) {
    record->getAlgosOut().rms = compute(samples.data(), samples.size());
}

float Algorithm_RMS::compute(const float* samples, std::size_t n) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        sum += samples[i] * samples[i];
    }
    return std::sqrt(sum / static_cast<float>(n));
}
