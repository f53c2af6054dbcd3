#include "korvala/components/scalar/DevianceComponent.h"

#include <cmath>

float DevianceComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    float d = dataLayer->getDeviance(feature) / 3.0f * 2.0f;
    if (r2 < 1.0f) {
        d = d * std::sqrt(r2);
    } else if (r2 >= 1.0f) {
        d = mix(d, 2.0f * d * d, r2 - 1.0f);
    }
    d = clamp(d, 0.0f, 1.0f);
    return accumulator.update(d, dt);
}
