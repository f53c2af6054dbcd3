#pragma once

#include "korvala/components/TransitionComponent.h"
#include "korvala/components/scalar/Accumulator.h"

/// The transition detector: fires the host callback when the combined band
/// deviance outgrows a slowly relaxing threshold ("kor_Threshold").
class ThresholdDecayComponent : public Korvala::TransitionComponent {
public:
    ThresholdDecayComponent();

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Sets the threshold back to 1.
    void reset() override;

    /// Squared sum of the high, mid, mid-high and bass deviances, times 0.001.
    float getDevianceValue(AudioComponentDataLayer* dataLayer);

    float getThreshold() const { return threshold.getValue(); }
    void setThreshold(float v) { threshold.setValue(v); }

private:
    Accumulator threshold;
};
