#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/BPMToTimer.h"

/// A tempo-locked ramp from 0 to 1, one per `beatsPerCycle` beats, scaled by
/// the tempo confidence ("kor_BPMTri", "kor_BPMTri2" …).
class BPMComponentTri : public Korvala::AudioComponent {
public:
    explicit BPMComponentTri(float beatsPerCycle) : beatsPerCycle(beatsPerCycle) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    BPMToTimer timer;
    float beatsPerCycle;
};
