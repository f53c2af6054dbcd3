#include "korvala/components/scalar/ThresholdDecayComponent.h"

ThresholdDecayComponent::ThresholdDecayComponent() : threshold(0.999f) {
    threshold.setValue(1.0f);
    value = 1.0f;
}

float ThresholdDecayComponent::getDevianceValue(AudioComponentDataLayer* dataLayer) {
    float sum = 0.0f;
    sum = sum + dataLayer->getDeviance(AudioFeature::HighVU);
    sum = sum + dataLayer->getDeviance(AudioFeature::MidVU);
    sum = sum + dataLayer->getDeviance(AudioFeature::MidHighVU);
    sum = sum + dataLayer->getDeviance(AudioFeature::BassVU);
    const float squared = sum * sum;
    return static_cast<float>(static_cast<double>(squared) * 0.001);
}

float ThresholdDecayComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                      const UserInputs& /*inputs*/) {
    const float energy = getDevianceValue(dataLayer);
    threshold.update(0.0f, dt);
    if (energy > threshold.getValue() && threshold.getValue() < 0.9f) {
        threshold.setValue(1.0f);
        // The frame's value is set before the host's handler runs, so a
        // handler that throws cannot leave the old one.
        value = threshold.getValue();
        trigger();
    }
    return threshold.getValue();
}

void ThresholdDecayComponent::reset() {
    threshold.setValue(1.0f);
}
