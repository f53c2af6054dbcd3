#pragma once

#include "korvala/components/VectorComponent2D.h"

#include <vector>

namespace Korvala {

/// The latest power spectrum as a 0-to-1 logarithmic display curve, one value
/// per bin, shaped by reactivity ("kor_Spectrum").
class Spectrum2DComponent : public VectorComponent2D {
public:
    Spectrum2DComponent();

    /// Maps each bin's power p to 0.2·log10(max(p, 1e-5)) + 1 (1e-5 → 0, 1 → 1,
    /// no upper limit), then shapes it by reactivity. The output takes the
    /// spectrum's length. dt is not used.
    void advance(AudioComponentDataLayer* dataLayer, float dt, const UserInputs& inputs) override;

    /// The smallest float f with (double)f ≥ 1e-5: powers below it (and NaN)
    /// are raised to the floor 1e-5f.
    static constexpr float kFloorFrom = 0x1.4f8b5ap-17f;

private:
    /// 0.2 / ln 10 in single precision: ln(v) · logScale = 0.2 · log10(v).
    float logScale = 0.08685889f;
};

} // namespace Korvala
