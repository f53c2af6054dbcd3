#include "korvala/components/scalar/AccumulatorComponent.h"

#include <cmath>

float AccumulatorComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                   const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    float level = clamp(2.0f * dataLayer->getAccumLevel(feature), 0.0f, 1.0f);
    const float d0 = accumulator.getDefaultDecay();
    // Calmer than neutral: slower decay (0.995 at reactivity 0) and a quieter
    // input; livelier: faster decay (0.9 at reactivity 1). The products are
    // taken in double and rounded before the addition.
    if (r2 < 1.0f) {
        const auto shift =
            static_cast<float>(static_cast<double>(0.995f - d0) * static_cast<double>(1.0f - r2));
        accumulator.setDecay(d0 + shift);
        level = level * std::sqrt(r2);
    } else if (r2 >= 1.0f) {
        const auto shift =
            static_cast<float>(static_cast<double>(r2 - 1.0f) * static_cast<double>(d0 - 0.9f));
        accumulator.setDecay(d0 - shift);
    }
    return accumulator.update(level, dt);
}
