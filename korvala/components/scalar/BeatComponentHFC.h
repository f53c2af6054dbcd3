#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// A pulse on onsets of high-frequency content: the product of the HFC and
/// spectral-flux deviances against a reactivity-dependent threshold.
class BeatComponentHFC : public Korvala::AudioComponent {
public:
    BeatComponentHFC() : onset(true), accumulator(0.8f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Marks an onset as taken: no other for the next 0.12 s.
    void resetBeat() { onset.resetBeat(); }

private:
    OnsetDetector onset;
    Accumulator accumulator;
};
