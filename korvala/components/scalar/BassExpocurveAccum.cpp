#include "korvala/components/scalar/BassExpocurveAccum.h"

#include <cmath>

float BassExpocurveAccum::update(AudioComponentDataLayer* dataLayer, float dt,
                                 const UserInputs& inputs) {
    const float a = accumulator.update(dataLayer->getAccumLevel(AudioFeature::BassVU), dt);
    const float r2 = 2.0f * inputs.reactivity;
    const float base = 200.0f * r2 + 50.0f;
    if (static_cast<double>(r2) < 0.0001) {
        return 0.0f;
    }
    return expoGrowth(a, base);
}

float BassExpocurveAccum::expoGrowth(float x, float base) {
    return (std::pow(base, x) - 1.0f) / (base - 1.0f);
}
