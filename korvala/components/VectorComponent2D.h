#pragma once

#include "korvala/components/AudioComponent2D.h"

#include <cstddef>
#include <vector>

namespace Korvala {

/// Base of the vector components that keep their latest frame in `values`:
/// update is advance then a copy of values; getValue and copyValue read it.
class VectorComponent2D : public AudioComponent2D {
public:
    std::vector<float> update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) override;
    std::vector<float> getValue() override;
    std::size_t copyValue(float* out, std::size_t capacity) override;
    void reset() override {}

protected:
    /// Starts with n zeros.
    explicit VectorComponent2D(std::size_t n) : values(n, 0.0f) {}

    std::vector<float> values;
};

} // namespace Korvala
