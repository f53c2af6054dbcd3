#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// A pulse that jumps to 1 on each RMS onset and falls off fast ("kor_OnBeat").
class BeatComponentRMS : public Korvala::AudioComponent {
public:
    BeatComponentRMS() : onset(true), accumulator(0.8f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Marks an onset as taken: no other for the next 0.12 s.
    void resetBeat() { onset.resetBeat(); }

private:
    OnsetDetector onset;
    Accumulator accumulator;
};
