#include "korvala/components/scalar/BPMConfidenceComponent.h"

float BPMConfidenceComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                     const UserInputs& inputs) {
    float x =
        static_cast<float>(static_cast<double>(dataLayer->getScalar(AudioFeature::BPMConfidence)) +
                           (static_cast<double>(inputs.reactivity) - 0.5));
    if (0.0f > x) {
        x = 0.0f;
    }
    if (1.0f < x) {
        x = 1.0f;
    }
    return x;
}
