#include "tools/korvala/report/ReportRun.h"

#include "korvala/engine/AudioEngine.h"
#include "tools/korvala/ComponentDocs.h"
#include "tools/korvala/Summary.h"
#include "tools/korvala/report/EmbeddedAudio.h"
#include "tools/korvala/report/OverviewTapSource.h"
#include "tools/korvala/report/ReportPage.h"
#include "tools/korvala/report/ReportSink.h"
#include "tools/korvala/report/WaveformOverview.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace korvala::cli {

namespace {
// Passes another source's samples through and encodes them on the way.
class EncodingTapSource : public AudioSource {
public:
    EncodingTapSource(AudioSource& inner, EmbeddedAudio* audio) : inner_(inner), audio_(audio) {}
    std::size_t read(float* out, std::size_t capacity) override {
        const std::size_t got = inner_.read(out, capacity);
        if (audio_ != nullptr && got > 0) {
            // The page's copy gets silence where the input is not a number.
            clean_.assign(out, out + got);
            for (float& x : clean_) {
                x = std::isfinite(x) ? x : 0.0f;
            }
            audio_->add(clean_.data(), got);
        }
        return got;
    }
    const SourceInfo& info() const override { return inner_.info(); }

private:
    AudioSource& inner_;
    EmbeddedAudio* audio_;
    std::vector<float> clean_;
};

// What the page says about each group of plots, from the component table.
nlohmann::json groupData() {
    nlohmann::json groups = nlohmann::json::array();
    for (const ComponentGroup& group : componentGroups()) {
        nlohmann::json names = nlohmann::json::array();
        for (const ComponentDoc& doc : componentDocs()) {
            if (std::string(doc.group) == group.id) {
                names.push_back(doc.name);
            }
        }
        groups.push_back({{"id", group.id},
                          {"title", group.title},
                          {"sentence", group.sentence},
                          {"names", names}});
    }
    return groups;
}
} // namespace

ReportOutcome runReport(Korvala::AudioEngine& engine, AudioSource& source, AnalysisOptions options,
                        const ReportAudio& audio) {
    options.scalars = engineScalarNames(engine);
    options.vectors.clear();
    const std::vector<std::string> vectors = engineVectorNames(engine);
    for (const std::string& name : ReportSink::spectrumNames()) {
        if (std::binary_search(vectors.begin(), vectors.end(), name)) {
            options.vectors.push_back(name);
        }
    }

    std::unique_ptr<EmbeddedAudio> encoder;
    if (audio.embed) {
        encoder = std::make_unique<EmbeddedAudio>(audio.capBytes);
    }
    EncodingTapSource encoding(source, encoder.get());
    WaveformOverview waveform;
    OverviewTapSource tapped(encoding, waveform);
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

    data["groups"] = groupData();
    data["transition_explanation"] = transitionExplanation();
    data["audio"] = nullptr;
    if (encoder) {
        encoder->finish();
        if (!encoder->bytes().empty()) {
            data["audio"] = {
                {"mime", "audio/ogg"},
                {"codec", "vorbis"},
                {"bytes", encoder->bytes().size()},
                {"base64", base64Encode(encoder->bytes().data(), encoder->bytes().size())}};
            outcome.audioBytes = encoder->bytes().size();
        } else {
            outcome.audioProblem = encoder->problem();
            data["audio_problem"] = encoder->problem();
        }
    }

    outcome.page = renderReportPage(reportAssets(), data);
    return outcome;
}

} // namespace korvala::cli
