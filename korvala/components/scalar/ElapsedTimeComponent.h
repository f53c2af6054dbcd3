#pragma once

#include "korvala/components/AudioComponent.h"

namespace Korvala {

/// Elapsed time in seconds at neutral audio speed; twice as fast at audio
/// speed 1, stopped at 0 ("TIME").
class ElapsedTimeComponent : public AudioComponent {
public:
    float update(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    /// Sets the time back to 0 at once.
    void reset() override { value = 0.0f; }
};

} // namespace Korvala
