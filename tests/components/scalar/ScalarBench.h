#pragma once

// A feature store filled by hand, so scalar components can be fed exact
// levels, deviances and tempo values without running the analysis.

#include "korvala/components/AudioComponent.h"
#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/UserInputs.h"
#include "korvala/dsp/KorDSPData.h"
#include "korvala/store/DSPStore.h"

#include <cmath>
#include <stdexcept>

namespace korvala::test {

class ScalarBench {
public:
    ScalarBench() {
        // The record's tempo defaults to a guess; a hand-fed store starts from none.
        algos().bpm = 0.0f;
        algos().bpmConfidence = 0.0f;
    }

    KorAlgosOut& algos() { return record.getAlgosOut(); }
    AudioComponentDataLayer* layer() { return &dataLayer; }

    /// The record field that feeds a history feature.
    float& field(AudioFeature feature) {
        switch (feature) {
        case AudioFeature::VU:
            return algos().vu;
        case AudioFeature::BassVU:
            return algos().bassVU;
        case AudioFeature::MidHighVU:
            return algos().midHighVU;
        case AudioFeature::MidVU:
            return algos().midVU;
        case AudioFeature::HighVU:
            return algos().highVU;
        case AudioFeature::RMS:
            return algos().rms;
        case AudioFeature::HFC:
            return algos().hfc;
        case AudioFeature::SpectralFlux:
            return algos().spectralFlux;
        default:
            throw std::invalid_argument("not a history fed by the bench");
        }
    }

    /// Appends one block with the record as it stands.
    void push() { store.add(record); }
    /// Appends one block in which `feature` holds `value`.
    void push(AudioFeature feature, float value) {
        field(feature) = value;
        push();
    }

    /// Appends `zeros` silent blocks and then one block of 1.0 to `feature`: on a
    /// fresh history the newest deviance is then about √zeros.
    void spikeAfterSilence(AudioFeature feature, int zeros) {
        for (int i = 0; i < zeros; ++i) {
            push(feature, 0.0f);
        }
        push(feature, 1.0f);
    }

    /// Appends two blocks so that getAccumLevel(feature) reads exactly `level`
    /// (in (0, 1]) on a history whose peak has never exceeded 1.
    void setAccumLevel(AudioFeature feature, float level) {
        push(feature, 1.0f);
        const auto peak = static_cast<float>(1.0 * 0.9995);
        float x = level * peak;
        while (x / peak > level) {
            x = std::nextafter(x, 0.0f);
        }
        while (x / peak < level) {
            x = std::nextafter(x, 2.0f);
        }
        push(feature, x);
        if (dataLayer.getAccumLevel(feature) != level) {
            throw std::logic_error("level not reachable exactly");
        }
    }

    /// Sets the tempo and its confidence (one block).
    void setTempo(float bpm, float confidence) {
        algos().bpm = bpm;
        algos().bpmConfidence = confidence;
        push();
    }

    /// One frame through the controller's path (dt limited to 0.5 s); returns the value.
    float frame(Korvala::AudioComponent& component, float dt, UserInputs inputs = {}) {
        component.updateParent(&dataLayer, dt, inputs);
        return component.getValue();
    }

    static UserInputs controls(float reactivity, float audioSpeed = 0.5f) {
        UserInputs in;
        in.reactivity = reactivity;
        in.audioSpeed = audioSpeed;
        return in;
    }

private:
    DSPStore store;
    KorDSPData record;
    AudioComponentDataLayer dataLayer{&store};
};

} // namespace korvala::test
