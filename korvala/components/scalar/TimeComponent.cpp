#include "korvala/components/scalar/TimeComponent.h"

float TimeComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                            const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    float l = clamp(2.0f * dataLayer->getAccumLevel(feature), 0.0f, 1.0f);
    if (r2 < 1.0f) {
        // At reactivity 0 the clock runs at a fixed 0.3 whatever the audio.
        l = mix(0.3f, l, r2);
    } else if (r2 >= 1.0f) {
        l = clamp(mix(l, 1.5f * l * l, r2 - 1.0f), 0.0f, 1.0f);
    }
    const float a = accumulator.update(l, dt);
    return incrementor.update(a, dt, 2.0f * inputs.audioSpeed);
}
