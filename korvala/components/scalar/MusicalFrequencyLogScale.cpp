#include "korvala/components/scalar/MusicalFrequencyLogScale.h"

#include "korvala/store/KorAssert.h"

#include <cmath>
#include <limits>

namespace {
// 440 Hz as a fraction of the Nyquist frequency, in single precision.
constexpr float kA4OverNyquist = 0.01995464786887169f;
} // namespace

float MusicalFrequencyLogScale::calculate(float frequency) {
    KOR_CHECK(frequency >= 0.0f, "frequency >= 0", "calculate", "MusicalFrequencyLogScale", 12);
    const float f = frequency == 0.0f ? std::numeric_limits<float>::min() : frequency;
    return std::log2(f / 22050.0f / kA4OverNyquist);
}
