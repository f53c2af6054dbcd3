#include "korvala/components/scalar/PresenceComponent.h"

float PresenceComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    smoother.update(dataLayer->getMean(feature), dt);
    const float v = smoother.getValue();

    // The bounds drift toward v by 3 % of the distance per second at neutral
    // reactivity, 24 % at reactivity 1, not at all at 0.
    const auto r = static_cast<double>(r2);
    const auto k = static_cast<float>(0.03 * r * r * r);
    low = low + (v - low) * dt * k;
    high = high + (v - high) * dt * k;
    if (v > high) {
        high = v;
    }
    if (low > v) {
        low = v;
    }

    const float span = high - low;
    if (span < 1e-7f) {
        return 0.0f;
    }
    const float p = clamp((v - low) / span, 0.0f, 1.0f);
    if (r < 0.2) {
        return p * 5.0f * r2;
    }
    return p;
}
