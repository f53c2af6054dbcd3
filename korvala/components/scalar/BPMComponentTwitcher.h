#pragma once

#include "korvala/components/AudioComponent.h"

/// A beat count that jumps toward the next whole number early in each beat,
/// sooner at higher reactivity; the plain count at reactivity 0 ("kor_BPMTwitcher").
class BPMComponentTwitcher : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// a × (1 − t) + b × t, t not limited.
    static float glslMix(float a, float b, float t) { return a * (1.0f - t) + b * t; }

private:
    float beats = 0.0f;
};
