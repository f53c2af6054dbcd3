#pragma once

#include "korvala/components/AudioComponent.h"

/// Diagnostic component: yields the reactivity control unchanged.
class _TestComponent : public Korvala::AudioComponent { // NOLINT(bugprone-reserved-identifier)
public:
    float update(AudioComponentDataLayer* /*dataLayer*/, float /*dt*/,
                 const UserInputs& inputs) override {
        return inputs.reactivity;
    }
};
