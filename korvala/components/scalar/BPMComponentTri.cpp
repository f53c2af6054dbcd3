#include "korvala/components/scalar/BPMComponentTri.h"

float BPMComponentTri::update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) {
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(
        dataLayer->getScalar(AudioFeature::BPM), inputs.audioSpeed);
    const float p = timer.update(tempo, dt, beatsPerCycle);
    return BPMToTimer::doReactivityMute(dataLayer->getScalar(AudioFeature::BPMConfidence) * p,
                                        inputs.reactivity);
}
