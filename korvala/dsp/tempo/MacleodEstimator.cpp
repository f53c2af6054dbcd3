#include "korvala/dsp/tempo/MacleodEstimator.h"

#include <cmath>

namespace kor::StaticAlgorithm {

float MacleodEstimator::calculate(ComplexFloat previous, ComplexFloat centre, ComplexFloat next) {
    const ComplexFloat reference = centre.conjugate();
    const float rp = (previous * reference).real();
    const float r0 = (centre * reference).real();
    const float rn = (next * reference).real();
    const float d = r0 + r0 + rp + rn;
    const float gamma = d == 0.0f ? 0.0f : (rp - rn) / d;
    if (gamma == 0.0f) {
        return 0.0f;
    }
    return (std::sqrt((8.0f * gamma) * gamma + 1.0f) - 1.0f) / (gamma * 4.0f);
}

} // namespace kor::StaticAlgorithm
