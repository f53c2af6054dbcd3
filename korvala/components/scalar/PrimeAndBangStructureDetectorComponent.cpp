#include "korvala/components/scalar/PrimeAndBangStructureDetectorComponent.h"

float PrimeAndBangStructureDetectorComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                                     const UserInputs& inputs) {
    const float r2 = 2.0f * inputs.reactivity;
    // Below neutral reactivity every wait is longer, up to three times at 0.
    // Above it the waits keep the values they last had.
    if (r2 < 1.0f) {
        primeTime = mix(3.0f * primeTimeBase, primeTimeBase, r2);
        relaxTime = mix(3.0f * relaxTimeBase, relaxTimeBase, r2);
        longRelaxTime = mix(3.0f * longRelaxTimeBase, longRelaxTimeBase, r2);
    }
    updatePrimer(dt);
    if (!primed) {
        return 0.0f;
    }

    float d = dataLayer->getDeviance(AudioFeature::VU) / 3.0f;
    if (r2 == 0.0f) {
        d = 0.0f;
    }
    bool bang;
    if (elapsed >= longRelaxTime) {
        bang = d >= 0.5f;
    } else if (elapsed >= relaxTime) {
        bang = static_cast<double>(d) >= 0.8;
    } else {
        bang = static_cast<double>(d) >= 1.15;
    }
    if (!bang) {
        return 0.0f;
    }
    primed = false;
    elapsed = 0.0f;
    return 1.0f;
}

void PrimeAndBangStructureDetectorComponent::reset() {
    primed = false;
    elapsed = 0.0f;
}

void PrimeAndBangStructureDetectorComponent::updatePrimer(float dt) {
    elapsed = elapsed + dt;
    if (elapsed >= primeTime) {
        primed = true;
    }
}
