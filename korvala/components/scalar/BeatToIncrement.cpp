#include "korvala/components/scalar/BeatToIncrement.h"

float BeatToIncrement::update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) {
    // The detector runs even when the count is held, so it stays in step.
    const bool hit = onset.detect(dataLayer, dt, inputs.reactivity);
    const float v = value;
    if (hit && static_cast<double>(inputs.reactivity) > 0.001 &&
        static_cast<double>(inputs.audioSpeed) > 0.001) {
        return v + 1.0f;
    }
    return v;
}
