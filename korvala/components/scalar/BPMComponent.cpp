#include "korvala/components/scalar/BPMComponent.h"

float BPMComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                           const UserInputs& /*inputs*/) {
    return dataLayer->getScalar(AudioFeature::BPM);
}
