#pragma once

#include "korvala/components/AudioComponent2D.h"
#include "korvala/store/AudioFeature.h"
#include "korvala/store/DoubleRingBuffer.h"

#include <memory>
#include <vector>

namespace Korvala {

/// The last 400 frames of one feature's smoothed, peak-normalised level, oldest
/// first ("kor_TimeSeries" and the band variants).
class TimeSeries2DComponent : public AudioComponent2D {
public:
    explicit TimeSeries2DComponent(AudioFeature feature);

    /// Appends 0.4 · previous + 0.6 · clamp(2 · level, 0, 1) and returns the 400
    /// values. dt is not used.
    std::vector<float> update(AudioComponentDataLayer* dataLayer, float dt,
                              const UserInputs& inputs) override;
    /// The frame of update without the copy of the result.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;
    std::vector<float> getValue() override;
    std::size_t copyValue(float* out, std::size_t capacity) override;
    /// The history is kept: nothing clears it.
    void reset() override {}

    static constexpr unsigned long kLength = 400;

private:
    std::unique_ptr<DoubleRingBuffer<float>> history;
    AudioFeature feature;
};

} // namespace Korvala
