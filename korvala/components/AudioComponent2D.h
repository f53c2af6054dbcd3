#pragma once

#include "korvala/Export.h"

#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/ComponentMath.h"
#include "korvala/components/UserInputs.h"

#include <cstddef>
#include <vector>

namespace Korvala {

/// Base of every vector component: a float vector per frame, read by the host.
class KORVALA_API AudioComponent2D {
public:
    AudioComponent2D() = default;
    virtual ~AudioComponent2D() = default;

    /// Advances one frame (dt as given, not limited) and returns the new vector.
    virtual std::vector<float> update(AudioComponentDataLayer* dataLayer, float dt,
                                      const UserInputs& inputs);
    /// The current vector.
    virtual std::vector<float> getValue();
    /// Copies the first min(length, capacity) values of the current vector to
    /// `out` and returns its length. The catalogue's vectors allocate nothing
    /// here; the default goes through getValue.
    virtual std::size_t copyValue(float* out, std::size_t capacity);
    virtual void reset() {}
    /// Advances one frame like update without returning a copy of the vector
    /// (the controller's per-frame path); by default it calls update.
    virtual void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) {
        update(dataLayer, dt, inputs);
    }

    void setSize(int s) { size = s; }
    int getSize() const { return size; }

    // Inline so that the per-point loops of the components can vectorise them.
    static float clamp(float x, float low, float high) {
        return ComponentMath::clamp(x, low, high);
    }
    static float mix(float a, float b, float t) { return ComponentMath::mix(a, b, t); }
    static float step(float edge, float x) { return ComponentMath::step(edge, x); }
    /// Hermite step of x between edge0 and edge1, in [0, 1].
    static float smoothstep(float edge0, float edge1, float x);

private:
    int size = 0;
};

} // namespace Korvala
