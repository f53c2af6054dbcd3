#include "korvala/components/scalar/VUAdditiveTimeFast.h"

float VUAdditiveTimeFast::update(AudioComponentDataLayer* dataLayer, float dt,
                                 const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    const float a = accumulator.update(dataLayer->getAccumLevel(feature), dt);
    float q = a * a;
    if (r2 < 1.0f) {
        q = mix(0.125f, q, r2);
    } else if (r2 >= 1.0f) {
        q = mix(q, 2.5f * q * q, r2 - 1.0f);
    }
    return incrementor.update(q, dt, 2.0f * inputs.audioSpeed);
}
