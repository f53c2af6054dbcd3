#include "korvala/components/scalar/RawComponent.h"

float RawComponent::update(AudioComponentDataLayer* dataLayer, float /*dt*/,
                           const UserInputs& /*inputs*/) {
    return dataLayer->getRaw(feature);
}
