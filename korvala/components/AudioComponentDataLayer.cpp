#include "korvala/components/AudioComponentDataLayer.h"

#include "korvala/store/DSPStore.h"

float AudioComponentDataLayer::getScalar(AudioFeature feature) const {
    return dspStore->getPersistentData()->getScalarDimension(feature);
}

float AudioComponentDataLayer::getOscillatorScalar(AudioFeature feature) const {
    if (oscillatorTempoSet) {
        if (feature == AudioFeature::BPM) {
            return oscillatorBPM;
        }
        if (feature == AudioFeature::BPMConfidence) {
            return oscillatorConfidence;
        }
    }
    return getScalar(feature);
}

void AudioComponentDataLayer::setOscillatorTempo(float bpm, float confidence) {
    oscillatorTempoSet = true;
    oscillatorBPM = bpm;
    oscillatorConfidence = confidence;
}

float AudioComponentDataLayer::getRaw(AudioFeature feature) const {
    return dspStore->getPersistentData()->getDimension1D(feature)->getRaw();
}

float AudioComponentDataLayer::getMean(AudioFeature feature) const {
    return dspStore->getPersistentData()->getDimension1D(feature)->getMean();
}

float AudioComponentDataLayer::getDeviance(AudioFeature feature) const {
    return dspStore->getPersistentData()->getDimension1D(feature)->getDeviance();
}

float AudioComponentDataLayer::getAccumLevel(AudioFeature feature) const {
    return dspStore->getPersistentData()->getDimension1D(feature)->getAccumulatorNormalized();
}

std::vector<float> AudioComponentDataLayer::get1DNoAnalysis(AudioFeature feature) const {
    return *dspStore->getPersistentData()->get1DNoAnalysis(feature);
}

const std::vector<float>& AudioComponentDataLayer::view1DNoAnalysis(AudioFeature feature) const {
    return *dspStore->getPersistentData()->get1DNoAnalysis(feature);
}

std::vector<std::vector<float>> AudioComponentDataLayer::getRaw2D(AudioFeature feature) const {
    return dspStore->getPersistentData()->getDimension2D(feature)->getDimensionData(
        dimensionType::Raw);
}
