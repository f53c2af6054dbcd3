#include "korvala/components/VectorComponent2D.h"

#include <algorithm>

namespace Korvala {

std::vector<float> VectorComponent2D::update(AudioComponentDataLayer* dataLayer, float dt,
                                             const UserInputs& inputs) {
    advance(dataLayer, dt, inputs);
    return values;
}

std::vector<float> VectorComponent2D::getValue() {
    return values;
}

std::size_t VectorComponent2D::copyValue(float* out, std::size_t capacity) {
    std::copy_n(values.begin(), std::min(capacity, values.size()), out);
    return values.size();
}

} // namespace Korvala
