#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/store/AudioFeature.h"

/// Where the smoothed mean level of a feature sits, in [0, 1], within a range
/// that slowly drifts toward it ("kor_Presence", "kor_BassPresence" …).
class PresenceComponent : public Korvala::AudioComponent {
public:
    explicit PresenceComponent(AudioFeature feature)
        : smoother(Accumulator::createWithHalfLife(1.0f, AccumulatorType::Smooth)),
          feature(feature) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    Accumulator smoother;
    float high = 1.0f;
    float low = 0.0f;
    AudioFeature feature;
};
