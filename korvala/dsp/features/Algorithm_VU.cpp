#include "korvala/dsp/features/Algorithm_VU.h"

#include <cmath>

void Algorithm_VU::transform(std::vector<float> samples, KorDSPData* record) {
    record->getAlgosOut().vu = compute(samples.data(), samples.size());
}

float Algorithm_VU::compute(const float* samples, std::size_t n) {
    float peak = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const float x = samples[i];
        const float candidate = std::isfinite(x) ? x : 0.0f;
        if (peak < candidate) {
            peak = x;
        }
    }
    return peak;
}
