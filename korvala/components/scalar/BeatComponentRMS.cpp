#include "korvala/components/scalar/BeatComponentRMS.h"

#include "korvala/components/scalar/BPMToTimer.h"

float BeatComponentRMS::update(AudioComponentDataLayer* dataLayer, float dt,
                               const UserInputs& inputs) {
    const float hit = onset.detect(dataLayer, dt, inputs.reactivity) ? 1.0f : 0.0f;
    // Decay 0.3995 at reactivity 0, 0.2 at 0.5, 0.0005 at 1.
    accumulator.setDecay(
        static_cast<float>((0.5 - static_cast<double>(inputs.reactivity)) * 0.399 + 0.2));
    const float v = accumulator.update(hit, dt);
    return BPMToTimer::doReactivityMute(v, inputs.reactivity);
}
