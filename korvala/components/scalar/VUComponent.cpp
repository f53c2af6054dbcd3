#include "korvala/components/scalar/VUComponent.h"

float VUComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                          const UserInputs& /*inputs*/) {
    return dataLayer->getAccumLevel(AudioFeature::VU);
}
