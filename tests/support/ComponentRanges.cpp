#include "tests/support/ComponentRanges.h"

#include "korvala/dsp/Engine.h"
#include "korvala/engine/AudioEngine.h"
#include "korvala/record/KorDSPData.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace korvala::test {

ValueRange documentedRange(const std::string& name) {
    static const char* const unitNames[] = {
        "kor_FadeInOut",    "kor_Intensity",     "kor_PrimeBang",       "kor_RawLevel",
        "kor_Level",        "kor_HighLevel",     "kor_MidHighLevel",    "kor_MidLevel",
        "kor_BassLevel",    "kor_Hits",          "kor_HighHits",        "kor_MidHighHits",
        "kor_MidHits",      "kor_BassHits",      "kor_OnBeat",          "kor_ToggleOnBeat",
        "kor_RandomOnBeat", "kor_BassExpoCurve", "kor_Presence",        "kor_HighPresence",
        "kor_BassPresence", "kor_MidPresence",   "kor_MidHighPresence", "kor_BPMSin",
        "kor_BPMSin2",      "kor_BPMSin4",       "kor_BPMSin8",         "kor_BPMTri",
        "kor_BPMTri2",      "kor_BPMTri4",       "kor_BPMTri8",         "kor_BPMConfidence",
        "kor_Threshold"};
    for (const char* unit : unitNames) {
        if (name == unit) {
            return {0.0f, 1.0f};
        }
    }
    if (name == "kor_BPM") {
        return {0.0f, 220.0f};
    }
    // The raw block peak: garbage beyond the sample limit enters as silence.
    if (name == "kor_InputLevel") {
        return {0.0f, Engine::kSampleLimit};
    }
    return {0.0f, std::numeric_limits<float>::max()};
}

std::string firstUnsoundValue(Korvala::AudioEngine& engine) {
    for (const auto& [name, value] : engine.getAllComponents()) {
        const ValueRange range = documentedRange(name);
        if (!std::isfinite(value) || value < range.low || value > range.high) {
            return name + " = " + std::to_string(value) + " is outside its range";
        }
    }
    for (const auto& [name, values] : engine.getAllComponents2D()) {
        for (float v : values) {
            if (!std::isfinite(v)) {
                return name + " holds a non-finite element";
            }
        }
    }
    const KorAlgosOut& algos = engine.getAnalysisRecord().getAlgosOut();
    const KorFFTOut& fft = engine.getAnalysisRecord().getFFTOut();
    const std::pair<const char*, std::vector<float>> record[] = {
        {"dominantFrequencies", algos.dominantFrequencies},
        {"levels",
         {algos.vu, algos.centroid, algos.rms, algos.spectralFlux, algos.hfc, algos.bassVU,
          algos.midVU, algos.midHighVU, algos.upperMidVU, algos.highVU, algos.bpm,
          algos.bpmConfidence}},
        {"logBandedFFTVUs", algos.logBandedFFTVUs},
        {"miniLogBandedFFT", algos.miniLogBandedFFT},
        {"real", fft.real},
        {"imag", fft.imag},
        {"magnitudes", fft.magnitudes},
        {"squaredMagnitudes", fft.squaredMagnitudes},
        {"phases", fft.phases}};
    for (const auto& [name, values] : record) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!std::isfinite(values[i])) {
                return std::string("the analysis record's ") + name + "[" + std::to_string(i) +
                       "] is non-finite";
            }
        }
    }
    return {};
}

} // namespace korvala::test
