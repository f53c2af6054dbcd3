#pragma once

#include "korvala/Export.h"

#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/UserInputs.h"

namespace Korvala {

/// Base of every scalar component: one float per frame, read by the host.
class KORVALA_API AudioComponent {
public:
    AudioComponent() = default;
    virtual ~AudioComponent() = default;

    /// Computes the new value from the store and the controls; the base keeps `value`.
    virtual float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs);
    /// Restores whatever state the class chooses; the base does nothing.
    virtual void reset() {}

    float getValue() const { return value; }
    void setValue(float v) { value = v; }

    /// One frame: update() with dt limited to maxDeltaTime (0.5 s), result kept as the value.
    void updateParent(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs);

    static float clamp(float x, float low, float high);
    static float mix(float a, float b, float t);
    static float step(float edge, float x);

protected:
    float value = 0.0f;
    float maxDeltaTime = 0.5f;
};

} // namespace Korvala
