#pragma once

#include "korvala/components/AudioComponent.h"

/// A fade in [0, 1] that rises quickly with sound and falls slowly in silence
/// ("kor_FadeInOut").
class VUFadeToBlack : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    float fade = 0.0f;
};
