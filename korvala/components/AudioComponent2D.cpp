#include "korvala/components/AudioComponent2D.h"

#include <algorithm>

namespace Korvala {

std::vector<float> AudioComponent2D::update(AudioComponentDataLayer* /*dataLayer*/, float /*dt*/,
                                            const UserInputs& /*inputs*/) {
    return {};
}

std::vector<float> AudioComponent2D::getValue() {
    return {};
}

std::size_t AudioComponent2D::copyValue(float* out, std::size_t capacity) {
    const std::vector<float> value = getValue();
    std::copy_n(value.begin(), std::min(capacity, value.size()), out);
    return value.size();
}

float AudioComponent2D::smoothstep(float edge0, float edge1, float x) {
    float t = (x - edge0) / (edge1 - edge0);
    if (0.0f > t) {
        t = 0.0f;
    } else if (t > 1.0f) {
        t = 1.0f;
    }
    return t * t * (3.0f - 2.0f * t);
}

} // namespace Korvala
