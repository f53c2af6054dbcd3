#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/components/scalar/Accumulator.h"

/// The followed bass level on an exponential curve, steeper at higher
/// reactivity ("kor_BassExpoCurve").
class BassExpocurveAccum : public Korvala::AudioComponent {
public:
    BassExpocurveAccum() : accumulator(0.98f) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// (base^x − 1) / (base − 1): 0 at x = 0, 1 at x = 1.
    static float expoGrowth(float x, float base);

private:
    Accumulator accumulator;
};
