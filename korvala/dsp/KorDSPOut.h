#pragma once

#include "korvala/dsp/KorAlgosOut.h"
#include "korvala/dsp/KorFFTOut.h"

/// The spectrum group and the algorithm group of one block's record.
struct KorDSPOut {
    KorFFTOut fftOut;
    KorAlgosOut algosOut;
};
