#pragma once

#include "korvala/components/AudioComponent.h"

/// The tempo confidence shifted by reactivity − 0.5 and limited to [0, 1]
/// ("kor_BPMConfidence").
class BPMConfidenceComponent : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
};
