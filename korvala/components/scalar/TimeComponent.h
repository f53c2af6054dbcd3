#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/components/scalar/Incrementor.h"
#include "korvala/store/AudioFeature.h"

/// A clock that runs faster when a feature is louder: up to 7.5 units per
/// second at neutral audio speed ("kor_Time", "kor_BassTime" …).
class TimeComponent : public Korvala::AudioComponent {
public:
    explicit TimeComponent(AudioFeature feature) : feature(feature), accumulator(0.8f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Sets the clock back to 0 (shown from the next update); the level follower keeps its state.
    void reset() override { incrementor.setValue(0.0f); }

protected:
    AudioFeature feature;
    Accumulator accumulator;
    Incrementor incrementor;
};
