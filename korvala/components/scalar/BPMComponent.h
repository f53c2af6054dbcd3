#pragma once

#include "korvala/components/AudioComponent.h"

/// The tempo estimate in beats per minute ("kor_BPM").
class BPMComponent : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
};
