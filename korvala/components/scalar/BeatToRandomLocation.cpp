#include "korvala/components/scalar/BeatToRandomLocation.h"

#include <cmath>

float BeatToRandomLocation::update(AudioComponentDataLayer* dataLayer, float dt,
                                   const UserInputs& inputs) {
    elapsed = elapsed + dt;
    if (onset.detect(dataLayer, dt, inputs.reactivity) &&
        static_cast<double>(inputs.reactivity) > 0.001) {
        from = current;
        target = static_cast<float>(random_->next() % 1000) / 1000.0f;
        // A move shorter than 0.3 would hardly show: go half a unit away instead.
        if (std::fabs(static_cast<double>(target) - static_cast<double>(from)) < 0.3) {
            target = static_cast<float>(std::fmod(static_cast<double>(from) + 0.5, 1.0));
        }
        elapsed = 0.0f;
    }
    doExpoCurve();
    return current;
}

void BeatToRandomLocation::doExpoCurve() {
    // Half way at the onset, then easing onto the target.
    current = from + (target - from) / (1.0f + std::exp(-6.0f * elapsed));
}
