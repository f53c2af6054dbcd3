#include "korvala/components/scalar/InputTrackingComponent.h"

#include <cmath>

float InputTrackingComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                     const UserInputs& /*inputs*/) {
    float x = dataLayer->getRaw(AudioFeature::VU);
    if (!std::isfinite(x)) {
        x = 0.0f;
    }
    const float p = x > peak ? x : peak;
    const float out = x / p;
    peak = static_cast<float>(static_cast<double>(p) *
                              (1.0 - 0.0005 * 60.0 * static_cast<double>(dt)));
    return out;
}
