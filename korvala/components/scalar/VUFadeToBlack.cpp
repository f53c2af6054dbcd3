#include "korvala/components/scalar/VUFadeToBlack.h"

float VUFadeToBlack::update(AudioComponentDataLayer* dataLayer, float dt,
                            const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    float l = dataLayer->getAccumLevel(AudioFeature::VU);
    if (r2 < 1.0f) {
        // Below neutral reactivity the fade sees more than the real level (all of it at 0).
        l = mix(1.0f, l, r2);
    }
    const auto t = static_cast<double>(dt);
    if (l > 0.05f) {
        // Rises by 9 × level per second.
        fade = static_cast<float>(static_cast<double>(fade) +
                                  t * (static_cast<double>(l) * 0.15) * 60.0);
    } else {
        // Falls by the factor 1 − 0.3 × dt.
        fade = static_cast<float>(static_cast<double>(fade) * (1.0 - 0.005 * 60.0 * t));
    }
    if (fade > 1.0f) {
        fade = 1.0f;
    }
    return fade;
}
