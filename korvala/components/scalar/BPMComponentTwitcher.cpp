#include "korvala/components/scalar/BPMComponentTwitcher.h"

#include "korvala/components/scalar/BPMToTimer.h"

#include <cmath>

namespace {
// floor + (1 − e^(−frac × k)): the eased step from one whole beat to the next.
float easedBeat(float whole, float frac, float k) {
    const float e = std::exp(-frac * k);
    return static_cast<float>(static_cast<double>(whole) + (1.0 - static_cast<double>(e)));
}
} // namespace

float BPMComponentTwitcher::update(AudioComponentDataLayer* dataLayer, float dt,
                                   const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    const float tempo = BPMToTimer::doBPMAudioSpeedAdjustment(
        dataLayer->getOscillatorScalar(AudioFeature::BPM), inputs.audioSpeed);
    beats = beats + tempo * dt / 60.0f;
    const float whole = std::floor(beats);
    const float frac = beats - whole;

    if (r2 < 1.0f) {
        const float e = easedBeat(whole, frac, 9.0f);
        // Blend from the plain count (reactivity 0) to the stepped one (0.5),
        // written out rather than through glslMix: the two round differently.
        const float plainShare = 1.0f - r2;
        return plainShare * beats + (1.0f - plainShare) * e;
    }
    float k = 9.0f;
    if (r2 >= 1.0f) {
        k = static_cast<float>((static_cast<double>(r2) - 1.0) * 25.0 + 9.0);
    }
    return easedBeat(whole, frac, k);
}
