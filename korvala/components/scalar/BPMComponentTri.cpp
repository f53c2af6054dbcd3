#include "korvala/components/scalar/BPMComponentTri.h"

float BPMComponentTri::update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) {
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(
        dataLayer->getOscillatorScalar(AudioFeature::BPM), inputs.audioSpeed);
    const float p = timer.update(tempo, dt, beatsPerCycle);
    return BPMToTimer::doReactivityMute(
        dataLayer->getOscillatorScalar(AudioFeature::BPMConfidence) * p, inputs.reactivity);
}
