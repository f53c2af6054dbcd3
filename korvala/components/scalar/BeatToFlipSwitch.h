#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// Toggles between 0 and 1 on each onset, easing over about 0.15 s to half way
/// ("kor_ToggleOnBeat").
class BeatToFlipSwitch : public Korvala::AudioComponent {
public:
    BeatToFlipSwitch() : onset(true) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Marks an onset as taken: no other for the next 0.12 s.
    void resetBeat() { onset.resetBeat(); }
    /// Recomputes the eased position from `from`, `target` and the time since the flip.
    void doExpoCurve();

    float getTarget() const { return target; }
    float getFrom() const { return from; }

private:
    OnsetDetector onset;
    float target = 1.0f;
    float from = 0.0f;
    float current = 0.0f;
    float elapsed = 0.0f;
};
