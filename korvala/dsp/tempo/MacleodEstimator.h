#pragma once

#include "korvala/dsp/tempo/ComplexFloat.h"

namespace kor::StaticAlgorithm {

/// Fractional offset of a spectral peak from bin k, from the complex values of
/// bins k − 1, k and k + 1; in (−1, 1) with the sign of the tilt toward k ± 1.
class MacleodEstimator {
public:
    static float calculate(ComplexFloat previous, ComplexFloat centre, ComplexFloat next);
};

} // namespace kor::StaticAlgorithm
