#include "korvala/dsp/tempo/SpectralFlatness.h"

#include <cmath>

namespace kor::StaticAlgorithm {

float SpectralFlatness::calculate(std::vector<float> values) {
    return compute(values.data(), values.size());
}

float SpectralFlatness::compute(const float* values, std::size_t n) {
    constexpr float kSmallestNormal = 1.17549435e-38f;
    float logSum = 0.0f;
    float sum = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const float v = values[i] <= 0.0f ? kSmallestNormal : values[i];
        logSum += std::log(v);
        sum += v;
    }
    const float count = static_cast<float>(n);
    return std::exp(logSum / count) / (sum / count);
}

} // namespace kor::StaticAlgorithm
