#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/store/AudioFeature.h"

/// The newest raw value of a feature history, unchanged ("kor_InputLevel").
class RawComponent : public Korvala::AudioComponent {
public:
    explicit RawComponent(AudioFeature feature) : feature(feature) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    AudioFeature feature;
};
