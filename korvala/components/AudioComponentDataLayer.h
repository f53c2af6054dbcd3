#pragma once

#include "korvala/Export.h"

#include "korvala/store/AudioFeature.h"

#include <vector>

class DSPStore;

/// Read-only view of the feature store through which components read the
/// analysed audio. Every getter reads the store at call time; the one state
/// it holds is the host's optional tempo for the oscillators.
class KORVALA_API AudioComponentDataLayer {
public:
    explicit AudioComponentDataLayer(DSPStore* store) : dspStore(store) {}

    /// A scalar feature's value (BPM, BPMConfidence).
    float getScalar(AudioFeature feature) const;
    /// What the tempo oscillators read for BPM and BPMConfidence: the host's
    /// tempo while one is set, else getScalar.
    float getOscillatorScalar(AudioFeature feature) const;
    void setOscillatorTempo(float bpm, float confidence);
    void clearOscillatorTempo() { oscillatorTempoSet = false; }

    /// Newest value of a history.
    float getRaw(AudioFeature feature) const;
    /// Newest running mean of a history.
    float getMean(AudioFeature feature) const;
    /// Newest deviance: distance from the running mean in standard deviations.
    float getDeviance(AudioFeature feature) const;
    /// Newest value over the history's decaying peak (about 1 at the loudest moment).
    float getAccumLevel(AudioFeature feature) const;
    /// A copy of a plain vector (spectrum, mini log bands, waveform).
    std::vector<float> get1DNoAnalysis(AudioFeature feature) const;
    /// The plain vector itself, without a copy; valid until the next block.
    const std::vector<float>& view1DNoAnalysis(AudioFeature feature) const;
    /// One row per band, each the band's raw history oldest first.
    std::vector<std::vector<float>> getRaw2D(AudioFeature feature) const;

private:
    DSPStore* dspStore;
    bool oscillatorTempoSet = false;
    float oscillatorBPM = 0.0f;
    float oscillatorConfidence = 0.0f;
};
