#include "tools/korvala/ReportRun.h"

#include "korvala/engine/AudioEngine.h"
#include "tools/korvala/OverviewTapSource.h"
#include "tools/korvala/ReportPage.h"
#include "tools/korvala/ReportSink.h"
#include "tools/korvala/Summary.h"
#include "tools/korvala/WaveformOverview.h"

#include <algorithm>
#include <optional>

namespace korvala::cli {

ReportOutcome runReport(Korvala::AudioEngine& engine, AudioSource& source,
                        AnalysisOptions options) {
    options.scalars = engineScalarNames(engine);
    options.vectors.clear();
    const std::vector<std::string> vectors = engineVectorNames(engine);
    for (const std::string& name : ReportSink::spectrumNames()) {
        if (std::binary_search(vectors.begin(), vectors.end(), name)) {
            options.vectors.push_back(name);
        }
    }

    WaveformOverview waveform;
    OverviewTapSource tapped(source, waveform);
    ReportSink sink;
    ReportOutcome outcome;
    outcome.result = runAnalysis(engine, tapped, options, sink);

    const nlohmann::json settings{
        {"reactivity", options.reactivity},
        {"audio_speed", options.audioSpeed},
        {"fps_num", options.fps.num},
        {"fps_den", options.fps.den},
        {"frame_time", nearestFrameTime(options.fps)},
        {"block_size", options.blockSize},
    };
    nlohmann::json data =
        reportData(sink, waveform, summaryJson(source.info(), options, outcome.result), settings);

    const auto& names = sink.scalarNames();
    const auto confidence = std::find(names.begin(), names.end(), "kor_BPMConfidence");
    std::optional<float> medianConfidence;
    if (confidence != names.end()) {
        medianConfidence = lastHalfMedian(sink.series()[confidence - names.begin()]);
    }
    data["median_confidence_last_half"] =
        medianConfidence ? nlohmann::json(*medianConfidence) : nlohmann::json(nullptr);

    outcome.page = renderReportPage(reportAssets(), data);
    return outcome;
}

} // namespace korvala::cli
