#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/RandomSequence.h"
#include "korvala/components/scalar/OnsetDetector.h"

/// Glides to a new random position in [0, 1) on each onset ("kor_RandomOnBeat").
/// Positions come from the engine's own sequence (by default what an unseeded
/// program's rand() yields); the C library's rand() is never touched.
class BeatToRandomLocation : public Korvala::AudioComponent {
public:
    /// Draws from `random`, which must outlive the component; null gives the
    /// component a sequence of its own.
    explicit BeatToRandomLocation(Korvala::RandomSequence* random = nullptr)
        : onset(true), random_(random != nullptr ? random : &ownRandom_) {}
    BeatToRandomLocation(const BeatToRandomLocation&) = delete;
    BeatToRandomLocation& operator=(const BeatToRandomLocation&) = delete;

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
    Korvala::RandomSequence ownRandom_;
    Korvala::RandomSequence* random_;
};
