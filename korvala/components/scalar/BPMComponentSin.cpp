#include "korvala/components/scalar/BPMComponentSin.h"

#include <cmath>

float BPMComponentSin::update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) {
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(
        dataLayer->getOscillatorScalar(AudioFeature::BPM), inputs.audioSpeed);
    const float p = timer.update(tempo, dt, beatsPerCycle);
    // A cosine (sine shifted by a quarter turn) mapped onto [0, 1]: 1 at the
    // start of a cycle, 0 in its middle.
    const auto s =
        static_cast<float>(std::sin(static_cast<double>(p) * 6.28318 + 1.570795) * 0.5 + 0.5);
    return BPMToTimer::doReactivityMute(
        dataLayer->getOscillatorScalar(AudioFeature::BPMConfidence) * s, inputs.reactivity);
}
