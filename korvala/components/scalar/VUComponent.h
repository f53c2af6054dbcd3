#pragma once

#include "korvala/components/AudioComponent.h"

/// The block peak over its decaying peak, about 1 at the loudest recent moment.
class VUComponent : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
};
