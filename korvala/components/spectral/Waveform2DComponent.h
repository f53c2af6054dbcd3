#pragma once

#include "korvala/components/AudioComponent2D.h"

#include <vector>

namespace Korvala {

/// The first 1024 samples of the latest analysis window mapped onto 0 to 1
/// (silence at 0.5), scaled by reactivity ("kor_Waveform").
class Waveform2DComponent : public AudioComponent2D {
public:
    Waveform2DComponent();

    /// values[i] = clamp(sample · 2·reactivity, −1, 1) · 0.5 + 0.5. A buffer of
    /// fewer than 1024 samples leaves the previous output as it is. dt is not used.
    std::vector<float> update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) override;
    /// The frame of update without the copy of the result.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    std::vector<float> getValue() override;
    std::size_t copyValue(float* out, std::size_t capacity) override;
    void reset() override {}

    static constexpr std::size_t kLength = 1024;

private:
    std::vector<float> values;
};

} // namespace Korvala
