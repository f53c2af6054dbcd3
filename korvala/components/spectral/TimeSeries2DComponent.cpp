#include "korvala/components/spectral/TimeSeries2DComponent.h"

#include <algorithm>

namespace Korvala {

TimeSeries2DComponent::TimeSeries2DComponent(AudioFeature feature)
    : history(std::make_unique<DoubleRingBuffer<float>>(kLength)), feature(feature) {}

std::vector<float> TimeSeries2DComponent::update(AudioComponentDataLayer* dataLayer, float dt,
                                                 const UserInputs& inputs) {
    advance(dataLayer, dt, inputs);
    return history->toVector();
}

void TimeSeries2DComponent::advance(AudioComponentDataLayer* dataLayer, float /*dt*/,
                                    const UserInputs& /*inputs*/) {
    const float level = clamp(2.0f * dataLayer->getAccumLevel(feature), 0.0f, 1.0f);
    const float previous = history->latest();
    // The new level's share is a float product; the previous value is weighted
    // by 1 − 0.6f (0.3999999761581421) in double.
    const float incoming = level * 0.6f;
    history->push(static_cast<float>(static_cast<double>(previous) * 0.3999999761581421 +
                                     static_cast<double>(incoming)));
}

std::vector<float> TimeSeries2DComponent::getValue() {
    return history->toVector();
}

std::size_t TimeSeries2DComponent::copyValue(float* out, std::size_t capacity) {
    const std::size_t n = history->length();
    std::copy_n(history->window(), std::min(capacity, n), out);
    return n;
}

} // namespace Korvala
