#include "korvala/dsp/features/Algorithm_Centroid.h"

#include <limits>

void Algorithm_Centroid::transform(std::vector<float> magnitudes, float sampleRate,
                                   KorDSPData* record) {
    record->getAlgosOut().centroid = compute(magnitudes.data(), magnitudes.size(), sampleRate);
}

float Algorithm_Centroid::compute(const float* magnitudes, std::size_t n, float sampleRate) {
    if (n == 0) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    const float width = sampleRate / static_cast<float>(2 * n);
    float total = 0.0f;
    float weighted = 0.0f;
    for (std::size_t k = 0; k < n; ++k) {
        total += magnitudes[k];
        // The width multiplies each term, not the finished sum: the rounding differs.
        weighted += (static_cast<float>(k + 1) * magnitudes[k]) * width;
    }
    return weighted / total;
}
