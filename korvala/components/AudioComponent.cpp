#include "korvala/components/AudioComponent.h"

#include "korvala/components/ComponentMath.h"

namespace Korvala {

float AudioComponent::update(AudioComponentDataLayer* /*dataLayer*/, float /*dt*/,
                             const UserInputs& /*inputs*/) {
    return value;
}

void AudioComponent::updateParent(AudioComponentDataLayer* dataLayer, float dt,
                                  const UserInputs& inputs) {
    const float limited = maxDeltaTime < dt ? maxDeltaTime : dt;
    value = update(dataLayer, limited, inputs);
}

float AudioComponent::clamp(float x, float low, float high) {
    return ComponentMath::clamp(x, low, high);
}

float AudioComponent::mix(float a, float b, float t) {
    return ComponentMath::mix(a, b, t);
}

float AudioComponent::step(float edge, float x) {
    return ComponentMath::step(edge, x);
}

} // namespace Korvala
