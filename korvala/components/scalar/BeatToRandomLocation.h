#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// Glides to a new random position in [0, 1) on each onset ("kor_RandomOnBeat").
/// Positions come from the C library's rand(), which the library never seeds.
class BeatToRandomLocation : public Korvala::AudioComponent {
public:
    BeatToRandomLocation() : onset(true) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Marks an onset as taken: no other for the next 0.12 s.
    void resetBeat() { onset.resetBeat(); }
    /// Recomputes the gliding position from `from`, `target` and the time since the move.
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
