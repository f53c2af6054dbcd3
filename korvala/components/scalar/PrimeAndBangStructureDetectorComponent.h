#pragma once

#include "korvala/components/AudioComponent.h"

/// A rare one-frame bang (1.0) on a strong level rise after a build-up: silent
/// for `primeTime` after start or after each bang, and easier to trigger the
/// longer it has waited ("kor_PrimeBang"). All times in seconds.
class PrimeAndBangStructureDetectorComponent : public Korvala::AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Un-primes the detector and restarts its clock.
    void reset() override;
    /// Advances the clock; primes the detector once it reaches `primeTime`.
    void updatePrimer(float dt);

private:
    float primeTimeBase = 12.0f;
    float relaxTimeBase = 30.0f;
    float longRelaxTimeBase = 60.0f;
    float primeTime = 12.0f;
    float relaxTime = 30.0f;
    float longRelaxTime = 60.0f;
    bool primed = false;
    float elapsed = 0.0f;
};
