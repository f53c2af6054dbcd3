#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/store/AudioFeature.h"

/// Hits: how far the newest value jumps above its running mean, 1 at 1.5
/// standard deviations (neutral reactivity), through a fast peak follower.
class DevianceComponent : public Korvala::AudioComponent {
public:
    explicit DevianceComponent(AudioFeature feature) : feature(feature), accumulator(0.9f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    AudioFeature feature;
    Accumulator accumulator;
};
