#include "korvala/components/spectral/Spectrum2DComponent.h"

#include "korvala/components/spectral/ReactivityCurve.h"

#include <cmath>

namespace Korvala {

Spectrum2DComponent::Spectrum2DComponent() : values(1024, 0.0f) {}

std::vector<float> Spectrum2DComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                               const UserInputs& inputs) {
    // Read in place: the spectrum is only read, never kept beyond this frame.
    const std::vector<float>& input = dataLayer->view1DNoAnalysis(AudioFeature::FFTPower);
    if (values.size() != input.size()) {
        values.assign(input.size(), 0.0f);
    }

    const float gain = 2.0f * inputs.reactivity;
    const float cubeRoot = std::cbrt(gain);
    // The logarithms first, then the shaping in a separate loop that has no
    // calls and vectorises.
    float* out = values.data();
    for (std::size_t i = 0; i < input.size(); ++i) {
        float v = input[i];
        if (std::isnan(v)) {
            v = 0.0f;
        }
        if (static_cast<double>(v) < 1e-5) {
            v = 1e-5f;
        }
        out[i] = std::log(v) * logScale + 1.0f;
    }
    if (gain <= 1.0f) {
        for (std::size_t i = 0; i < input.size(); ++i) {
            out[i] = out[i] * cubeRoot;
        }
    } else {
        for (std::size_t i = 0; i < input.size(); ++i) {
            out[i] = ReactivityCurve::lively(out[i], gain);
        }
    }
    return values;
}

std::vector<float> Spectrum2DComponent::getValue() {
    return values;
}

} // namespace Korvala
