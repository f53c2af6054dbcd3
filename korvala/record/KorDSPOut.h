#pragma once

#include "korvala/record/KorAlgosOut.h"
#include "korvala/record/KorFFTOut.h"

/// The spectrum group and the algorithm group of one block's record.
struct KorDSPOut {
    KorFFTOut fftOut;
    KorAlgosOut algosOut;
};
