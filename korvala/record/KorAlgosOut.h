#pragma once

#include <vector>

/// The per-block results of the feature algorithms. Every number is finite:
/// where a feature is undefined (the centroid and the dominant frequencies of
/// a silent window) it reads 0.
struct KorAlgosOut {
    std::vector<float> dominantFrequencies;
    float vu = 0.0f;
    float centroid = 0.0f;
    float rms = 0.0f;
    float spectralFlux = 0.0f;
    float hfc = 0.0f;
    float bassVU = 0.0f;
    float midVU = 0.0f;
    float midHighVU = 0.0f;
    float upperMidVU = 0.0f;
    float highVU = 0.0f;
    std::vector<float> logBandedFFTVUs;
    float bpm = 120.0f;
    float bpmConfidence = 0.0f;
    std::vector<float> miniLogBandedFFT;
};
