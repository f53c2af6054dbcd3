#pragma once

// One feature store for the tests and benchmarks, with the data layer the
// components read it through. Its blocks come from the analysis (`run`), from
// hand-set record fields (`push` and friends, so scalar components can be fed
// exact levels, deviances and tempo values), or its plain vectors are set
// directly (`plain`, `fillBusy`).

#include "korvala/components/AudioComponent.h"
#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/UserInputs.h"
#include "korvala/dsp/Engine.h"
#include "korvala/record/KorDSPData.h"
#include "korvala/store/DSPStore.h"
#include "tests/support/Signals.h"

#include <cmath>
#include <vector>

namespace korvala::test {

using Field = float KorAlgosOut::*;

struct StoreRig {
    DSPStore store;
    KorDSPData record;
    AudioComponentDataLayer layer{&store};
    Engine engine;

    StoreRig() {
        engine.setPersistentDataContainer(store.getPersistentData());
        record.getAlgosOut().bpm = 0.0f; // the record's default tempo guess
    }

    /// One block through the analysis, its record added to the store.
    void run(const std::vector<float>& block) {
        engine.run(block, &record);
        store.add(record);
    }

    /// Appends one block in which `field` holds `value` (the others as last set).
    void push(Field field, float value) {
        record.getAlgosOut().*field = value;
        store.add(record);
    }
    /// `zeros` silent blocks, then one of 1.0: the newest deviance is then about √zeros.
    void spike(Field field, int zeros) {
        for (int i = 0; i < zeros; ++i) {
            push(field, 0.0f);
        }
        push(field, 1.0f);
    }
    /// Two blocks after which the normalised level reads exactly `level` in (0, 1].
    void setAccumLevel(Field field, float level) {
        push(field, 1.0f);
        const auto peak = static_cast<float>(0.9995);
        float x = level * peak;
        while (x / peak > level) {
            x = std::nextafter(x, 0.0f);
        }
        while (x / peak < level) {
            x = std::nextafter(x, 2.0f);
        }
        push(field, x);
    }
    void setTempo(float bpm, float confidence) {
        record.getAlgosOut().bpmConfidence = confidence;
        push(&KorAlgosOut::bpm, bpm);
    }
    /// One frame through the controller's path (dt limited to 0.5 s); returns the value.
    float frame(Korvala::AudioComponent& c, float dt, float reactivity = 0.5f,
                float audioSpeed = 0.5f) {
        c.updateParent(&layer, dt, UserInputs{reactivity, audioSpeed});
        return c.getValue();
    }

    /// The plain (unanalysed) vectors the spectral components read.
    std::vector<float>& plain(AudioFeature feature) {
        return *store.getPersistentData()->get1DNoAnalysis(feature);
    }
    std::vector<float>& power() { return plain(AudioFeature::FFTPower); }
    std::vector<float>& miniBands() { return plain(AudioFeature::MiniLogBandedFFT); }
    std::vector<float>& waveform() { return plain(AudioFeature::Waveform); }

    /// Plain vectors that look like one block of music: powers spread over
    /// 80 dB, band levels over 70 dB, a noisy waveform, and a level history.
    void fillBusy() {
        const std::vector<float> powerDb = uniformValues(power().size(), -70.0f, 10.0f, 3);
        for (std::size_t i = 0; i < powerDb.size(); ++i) {
            power()[i] = std::pow(10.0f, powerDb[i] / 10.0f);
        }
        const std::vector<float> bandDb = uniformValues(miniBands().size(), -60.0f, 10.0f, 4);
        for (std::size_t j = 0; j < bandDb.size(); ++j) {
            miniBands()[j] = std::pow(10.0f, bandDb[j] / 10.0f);
        }
        waveform() = uniformValues(waveform().size(), -0.8f, 0.8f, 5);
        for (float v : uniformValues(173, 0.0f, 0.5f, 6)) {
            store.getPersistentData()->getDimension1D(AudioFeature::VU)->add(v);
        }
    }

    static UserInputs reactivity(float r) {
        UserInputs inputs;
        inputs.reactivity = r;
        return inputs;
    }
};

} // namespace korvala::test
