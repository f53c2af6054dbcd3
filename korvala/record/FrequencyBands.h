#pragma once

#include "korvala/record/Band.h"

#include <vector>

namespace kor::FrequencyBands {

/// 22 overlapping one-octave bands, lower edges half an octave apart (tempo tracking).
extern const std::vector<Band> logScaleBPMBands;
/// 35 adjoining bands from 16 Hz to 22050 Hz (smoothed spectrum).
extern const std::vector<Band> miniLogScaleFFTBands;

} // namespace kor::FrequencyBands
