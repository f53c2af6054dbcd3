#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/BPMToTimer.h"

/// A tempo-locked cosine in [0, 1], one cycle per `beatsPerCycle` beats, scaled
/// by the tempo confidence ("kor_BPMSin", "kor_BPMSin2" …).
class BPMComponentSin : public Korvala::AudioComponent {
public:
    explicit BPMComponentSin(float beatsPerCycle) : beatsPerCycle(beatsPerCycle) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

private:
    BPMToTimer timer;
    float beatsPerCycle;
};
