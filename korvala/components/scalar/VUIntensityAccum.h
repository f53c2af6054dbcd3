#pragma once

#include "korvala/components/AudioComponent.h"

/// Intensity in [0, 1] that builds slowly while the music is loud and falls
/// away in quiet passages ("kor_Intensity").
class VUIntensityAccum : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    float intensity = 0.0f;
};
