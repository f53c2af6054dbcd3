#include "korvala/components/scalar/ElapsedTimeComponent.h"

namespace Korvala {

float ElapsedTimeComponent::update(AudioComponentDataLayer* /*dataLayer*/, float dt,
                                   const UserInputs& inputs) {
    return value + (2.0f * inputs.audioSpeed) * dt;
}

} // namespace Korvala
