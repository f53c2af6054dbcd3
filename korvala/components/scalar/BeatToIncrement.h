#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// Counts onsets ("kor_BeatTime"); stands still at reactivity or audio speed 0.
class BeatToIncrement : public Korvala::AudioComponent {
public:
    BeatToIncrement() : onset(false) { value = 0.0f; }

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Sets the count back to 0.
    void reset() override { value = 0.0f; }
    /// Marks an onset as taken: no other for the next 0.12 s.
    void resetBeat() { onset.resetBeat(); }

private:
    OnsetDetector onset;
};
