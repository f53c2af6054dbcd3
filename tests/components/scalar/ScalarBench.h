#pragma once

// A feature store filled by hand, so scalar components can be fed exact levels,
// deviances and tempo values without running the analysis.

#include "korvala/components/AudioComponent.h"
#include "korvala/record/KorDSPData.h"
#include "korvala/store/DSPStore.h"

#include <cmath>

namespace korvala::test {

using Field = float KorAlgosOut::*;

class ScalarBench {
public:
    ScalarBench() {
        record.getAlgosOut().bpm = 0.0f; // the record's default tempo guess
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

    DSPStore store;
    KorDSPData record;
    AudioComponentDataLayer layer{&store};
};

} // namespace korvala::test
