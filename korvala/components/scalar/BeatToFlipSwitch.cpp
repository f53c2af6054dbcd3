#include "korvala/components/scalar/BeatToFlipSwitch.h"

#include "korvala/components/scalar/BPMToTimer.h"

#include <cmath>

float BeatToFlipSwitch::update(AudioComponentDataLayer* dataLayer, float dt,
                               const UserInputs& inputs) {
    elapsed = elapsed + dt;
    if (onset.detect(dataLayer, dt, inputs.reactivity)) {
        from = current;
        target = target == 0.0f ? 1.0f : 0.0f;
        elapsed = 0.0f;
    }
    doExpoCurve();
    return BPMToTimer::doReactivityMute(current, inputs.reactivity);
}

void BeatToFlipSwitch::doExpoCurve() {
    // A logistic curve shifted to start at 0 and scaled to approach 1.
    const float e = std::exp(elapsed * 6.0f * -1.2f);
    const auto c = static_cast<float>((1.0 / (1.0 + static_cast<double>(e)) - 0.5) * 2.0);
    current = from + (target - from) * c;
}
