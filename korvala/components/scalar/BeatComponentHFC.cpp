#include "korvala/components/scalar/BeatComponentHFC.h"

float BeatComponentHFC::update(AudioComponentDataLayer* dataLayer, float dt,
                               const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    const float product = dataLayer->getDeviance(AudioFeature::HFC) *
                          dataLayer->getDeviance(AudioFeature::SpectralFlux);
    const float x = product > 0.0f ? product : 0.0f;

    onset.tick(dt);
    const float threshold = (3.0f - r2) + 1.0f;
    float hit = 0.0f;
    if (x >= threshold) {
        hit = onset.isArmed() ? 1.0f : 0.0f;
        // Closed again even without a hit, so a sustained excess keeps it shut.
        onset.resetBeat();
    }

    const auto r = static_cast<double>(r2);
    double decay = 0.2;
    if (r2 >= 1.0f) {
        decay = 0.2 + r * -0.19999 * 0.5;
    } else if (r2 < 1.0f) {
        decay = r * 0.4 * 0.5 + 0.2 + 0.20000000298023224;
    }
    accumulator.setDecay(static_cast<float>(decay));
    return accumulator.update(hit, dt);
}
