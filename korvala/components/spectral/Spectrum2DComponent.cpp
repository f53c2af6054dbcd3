#include "korvala/components/spectral/Spectrum2DComponent.h"

#include "korvala/components/spectral/ReactivityCurve.h"
#include "korvala/detail/Simd.h"

#include <algorithm>
#include <cmath>

namespace Korvala {

namespace {
// y · cbrt(g) for g ≤ 1, else the lively curve, over n values in place.
KORVALA_AVX2_CLONE
void shapeByReactivity(float* out, std::size_t n, float gain, float cubeRoot) {
    if (gain <= 1.0f) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = out[i] * cubeRoot;
        }
    } else {
        const float t = ComponentMath::unitLimit(gain - 1.0f);
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = ReactivityCurve::livelyBlend(out[i], t);
        }
    }
}
} // namespace

Spectrum2DComponent::Spectrum2DComponent() : VectorComponent2D(1024) {}

void Spectrum2DComponent::advance(AudioComponentDataLayer* dataLayer, float /*dt*/,
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
    // Quiet bins (and NaN) all take the floor 1e-5, whose curve value is
    // computed once here: equal inputs give equal results.
    float* out = values.data();
    const float floorValue = std::log(1e-5f) * logScale + 1.0f;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const float v = input[i];
        out[i] = v >= kFloorFrom ? std::log(v) * logScale + 1.0f : floorValue;
    }
    shapeByReactivity(out, input.size(), gain, cubeRoot);
}

} // namespace Korvala
