#include "korvala/components/scalar/MagnitudeDecibelScale.h"

#include "korvala/store/KorAssert.h"

#include <cmath>
#include <limits>

float MagnitudeDecibelScale::calculate(float magnitude) {
    KOR_CHECK(magnitude >= 0.0f, "magnitude >= 0", "calculate", "MagnitudeDecibelScale", 17);
    // A zero magnitude would give −inf; the smallest normal float gives about −379.3 dB.
    const float m = magnitude == 0.0f ? std::numeric_limits<float>::min() : magnitude;
    return 10.0f * std::log10(m);
}
