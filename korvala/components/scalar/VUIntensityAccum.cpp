#include "korvala/components/scalar/VUIntensityAccum.h"

float VUIntensityAccum::update(AudioComponentDataLayer* dataLayer, float dt,
                               const UserInputs& /*inputs*/) {
    const float l = dataLayer->getAccumLevel(AudioFeature::VU);
    const auto t = static_cast<double>(dt);
    if (l > 0.1f) {
        // Rises by 0.18 × level per second.
        intensity = static_cast<float>(static_cast<double>(intensity) +
                                       t * (static_cast<double>(l) * 0.003) * 60.0);
    } else {
        // Falls by the factor 1 − 1.56 × dt.
        intensity = static_cast<float>(static_cast<double>(intensity) * (1.0 - 0.026 * 60.0 * t));
    }
    if (intensity > 1.0f) {
        intensity = 1.0f;
    }
    return intensity;
}
