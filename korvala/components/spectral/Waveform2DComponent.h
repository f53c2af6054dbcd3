#pragma once

#include "korvala/components/VectorComponent2D.h"

#include <vector>

namespace Korvala {

/// The first 1024 samples of the latest analysis window mapped onto 0 to 1
/// (silence at 0.5), scaled by reactivity ("kor_Waveform").
class Waveform2DComponent : public VectorComponent2D {
public:
    Waveform2DComponent();

    /// values[i] = clamp(sample · 2·reactivity, −1, 1) · 0.5 + 0.5. A buffer of
    /// fewer than 1024 samples leaves the previous output as it is. dt is not used.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

    static constexpr std::size_t kLength = 1024;

private:
};

} // namespace Korvala
