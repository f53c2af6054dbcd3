#include "tools/korvala/report/ReportSink.h"

#include "tools/korvala/ToolError.h"

#include <algorithm>

namespace korvala::cli {

namespace {
constexpr std::size_t kSpectrumBins = 1024;
}

const std::vector<std::string>& ReportSink::spectrumNames() {
    static const std::vector<std::string> names{"kor_Spectrum", "kor_SpectrumJuiced",
                                                "kor_SpectrumSmooth"};
    return names;
}

void ReportSink::begin(const std::vector<std::string>& scalarNames,
                       const std::vector<std::string>& vectorNames) {
    scalarNames_ = scalarNames;
    series_.assign(scalarNames.size(), {});
    times_.clear();
    transitions_.clear();
    onsets_.clear();
    spectrograms_.clear();
    spectrumColumns_.clear();
    for (const std::string& name : spectrumNames()) {
        const auto found = std::find(vectorNames.begin(), vectorNames.end(), name);
        if (found != vectorNames.end()) {
            spectrograms_.emplace_back(name, SpectrogramImage(kSpectrumBins));
            spectrumColumns_.push_back(static_cast<std::size_t>(found - vectorNames.begin()));
        }
    }
    const auto onset = std::find(scalarNames.begin(), scalarNames.end(), kOnsetScalar);
    hasOnsets_ = onset != scalarNames.end();
    onsetColumn_ = static_cast<std::size_t>(onset - scalarNames.begin());
    previousOnset_ = 0.0f;
}

void ReportSink::frame(const FrameValues& values) {
    if (values.time > kMaxSeconds) {
        throw InputError("report: the audio runs past " + std::to_string(int(kMaxSeconds / 3600)) +
                         " hours, the most one report holds; cut it shorter (analyze has no "
                         "limit)");
    }
    times_.push_back(values.time);
    const std::vector<float>& scalars = *values.scalars;
    for (std::size_t i = 0; i < series_.size(); ++i) {
        series_[i].push_back(scalars[i]);
    }
    if (values.transition) {
        transitions_.push_back(values.index);
    }
    if (hasOnsets_) {
        const float onBeat = scalars[onsetColumn_];
        if (onBeat > previousOnset_) {
            onsets_.push_back(values.index);
        }
        previousOnset_ = onBeat;
    }
    for (std::size_t i = 0; i < spectrograms_.size(); ++i) {
        spectrograms_[i].second.add((*values.vectors)[spectrumColumns_[i]]);
    }
}

} // namespace korvala::cli
