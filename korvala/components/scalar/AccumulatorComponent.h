#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/store/AudioFeature.h"

/// A followed level in [0, 1]: the doubled normalised level through a peak
/// follower whose decay tightens with reactivity ("kor_Level", "kor_BassLevel" …).
class AccumulatorComponent : public Korvala::AudioComponent {
public:
    explicit AccumulatorComponent(AudioFeature feature) : feature(feature), accumulator(0.98f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    AudioFeature feature;
    Accumulator accumulator;
};
