#include "korvala/components/spectral/Waveform2DComponent.h"

#include <cmath>

namespace Korvala {

Waveform2DComponent::Waveform2DComponent() : values(kLength, 0.0f) {}

std::vector<float> Waveform2DComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                               const UserInputs& inputs) {
    const std::vector<float>& input = dataLayer->view1DNoAnalysis(AudioFeature::Waveform);
    if (values.size() != kLength) {
        values.assign(kLength, 0.0f);
    }
    if (input.size() < kLength) {
        return values;
    }

    const float gain = 2.0f * inputs.reactivity;
    for (std::size_t i = 0; i < kLength; ++i) {
        float v = input[i];
        if (std::isnan(v)) {
            v = 0.0f;
        }
        const float clamped = clamp(v * gain, -1.0f, 1.0f);
        values[i] = static_cast<float>(static_cast<double>(clamped) * 0.5 + 0.5);
    }
    return values;
}

std::vector<float> Waveform2DComponent::getValue() {
    return values;
}

} // namespace Korvala
