#pragma once

#include "korvala/components/AudioComponent.h"

/// The raw block peak over its own slowly decaying peak (3 % per second):
/// exactly 1 on every new maximum ("kor_RawLevel").
class InputTrackingComponent : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    float peak = 0.001f;
};
