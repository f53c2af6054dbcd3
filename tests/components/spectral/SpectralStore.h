#pragma once

// A feature store whose plain vectors the spectral tests set by hand, with the
// data layer the components read it through.

#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/UserInputs.h"
#include "korvala/store/DSPStore.h"

#include <vector>

struct SpectralStore {
    DSPStore store;
    AudioComponentDataLayer layer{&store};

    std::vector<float>& plain(AudioFeature feature) {
        return *store.getPersistentData()->get1DNoAnalysis(feature);
    }
    std::vector<float>& power() { return plain(AudioFeature::FFTPower); }
    std::vector<float>& miniBands() { return plain(AudioFeature::MiniLogBandedFFT); }
    std::vector<float>& waveform() { return plain(AudioFeature::Waveform); }

    static UserInputs reactivity(float r) {
        UserInputs inputs;
        inputs.reactivity = r;
        return inputs;
    }
};
