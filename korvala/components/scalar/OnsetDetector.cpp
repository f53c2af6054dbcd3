#include "korvala/components/scalar/OnsetDetector.h"

#include "korvala/components/AudioComponentDataLayer.h"

void OnsetDetector::tick(float dt) {
    holdoff = holdoff - dt;
    if (holdoff <= 0.0f) {
        armed = true;
    }
}

bool OnsetDetector::detect(float rmsDeviance, float dt, float reactivity) {
    tick(dt);
    return armed && reachesThreshold(rmsDeviance, reactivity);
}

bool OnsetDetector::detect(const AudioComponentDataLayer* dataLayer, float dt, float reactivity) {
    tick(dt);
    return armed && reachesThreshold(dataLayer->getDeviance(AudioFeature::RMS), reactivity);
}

bool OnsetDetector::reachesThreshold(float rmsDeviance, float reactivity) {
    const float d = rmsDeviance / 3.0f;
    const double threshold = (0.5 - 0.5 * static_cast<double>(reactivity)) + 0.25;
    if (static_cast<double>(d) >= threshold) {
        resetBeat();
        return true;
    }
    return false;
}
