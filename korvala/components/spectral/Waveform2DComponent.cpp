#include "korvala/components/spectral/Waveform2DComponent.h"

#include "korvala/detail/Simd.h"

#include <algorithm>
#include <cmath>

namespace Korvala {

namespace {
// clamp(v · gain, −1, 1) · 0.5 + 0.5 (the last step in double), NaN as 0.
KORVALA_AVX2_CLONE
void mapSamples(const float* input, float* out, std::size_t n, float gain) {
    for (std::size_t i = 0; i < n; ++i) {
        float v = input[i];
        if (std::isnan(v)) {
            v = 0.0f;
        }
        const float clamped = ComponentMath::clamp(v * gain, -1.0f, 1.0f);
        out[i] = static_cast<float>(static_cast<double>(clamped) * 0.5 + 0.5);
    }
}
} // namespace

Waveform2DComponent::Waveform2DComponent() : VectorComponent2D(kLength) {}

void Waveform2DComponent::advance(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                  const UserInputs& inputs) {
    const std::vector<float>& input = dataLayer->view1DNoAnalysis(AudioFeature::Waveform);
    if (values.size() != kLength) {
        values.assign(kLength, 0.0f);
    }
    if (input.size() < kLength) {
        return;
    }

    mapSamples(input.data(), values.data(), kLength, 2.0f * inputs.reactivity);
}

} // namespace Korvala
