#pragma once

#include "korvala/components/scalar/TimeComponent.h"

/// The level clock of the block peak with a curved response: the followed
/// level squared, more strongly curved at higher reactivity ("kor_CurvedTime").
class VUAdditiveTimeFast : public TimeComponent {
public:
    VUAdditiveTimeFast() : TimeComponent(AudioFeature::VU) {}

    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
};
