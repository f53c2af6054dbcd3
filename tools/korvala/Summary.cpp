#include "tools/korvala/Summary.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace korvala::cli {

namespace {
double durationOf(const AnalysisResult& result) {
    return static_cast<double>(result.samples) / static_cast<double>(kEngineRate);
}

double realTimeFactor(const AnalysisResult& result) {
    return result.wallSeconds > 0.0 ? durationOf(result) / result.wallSeconds : 0.0;
}

std::string conversion(const SourceInfo& source) {
    return source.resampled ? fmt::format("resampled from {} Hz to 44100 Hz (soxr, high quality)",
                                          source.inputRate)
                            : std::string("none");
}

std::string rateText(const FrameRate& rate) {
    return rate.den == 1 ? fmt::format("{}", rate.num) : fmt::format("{}/{}", rate.num, rate.den);
}

// The frame rate as a JSON number: an integer when it is whole.
nlohmann::json rateNumber(const FrameRate& rate) {
    if (rate.num % rate.den == 0) {
        return nlohmann::json(rate.num / rate.den);
    }
    return nlohmann::json(static_cast<double>(rate.num) / static_cast<double>(rate.den));
}

nlohmann::json orNull(const std::optional<float>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// A count the engine keeps as a float ("kor_BeatTime") is written as an integer.
nlohmann::json countOrNull(const std::optional<float>& value) {
    return value && std::isfinite(*value) ? nlohmann::json(static_cast<std::int64_t>(*value))
                                          : nlohmann::json(nullptr);
}

std::string orNa(const std::optional<float>& value, const char* format) {
    return value ? fmt::format(fmt::runtime(format), *value) : std::string("n/a");
}
} // namespace

nlohmann::json summaryJson(const SourceInfo& source, const AnalysisOptions& options,
                           const AnalysisResult& result) {
    return nlohmann::json{
        {"input", source.name},
        {"format", source.format},
        {"input_sample_rate", source.inputRate},
        {"input_channels", source.channels},
        {"resampled", source.resampled},
        {"sample_rate_conversion", conversion(source)},
        {"duration_seconds", durationOf(result)},
        {"samples", result.samples},
        {"block_size", options.blockSize},
        {"blocks", result.blocks},
        {"fps", rateNumber(options.fps)},
        {"fps_ratio", rateText(options.fps)},
        {"frames", result.frames},
        {"transitions", result.transitions},
        {"beats_counted", countOrNull(result.beatsCounted)},
        {"bpm", orNull(result.finalBpm)},
        {"bpm_confidence", orNull(result.finalBpmConfidence)},
        {"median_bpm_last_half", orNull(result.medianBpmLastHalf)},
        {"median_confidence_last_half", orNull(result.medianConfidenceLastHalf)},
        {"steady_beat", result.steadyBeat},
        {"felt_bpm", orNull(result.finalFeltBpm)},
        {"felt_confidence", orNull(result.finalFeltConfidence)},
        {"wall_seconds", result.wallSeconds},
        {"realtime_factor", realTimeFactor(result)},
    };
}

std::string summaryText(const SourceInfo& source, const AnalysisOptions& options,
                        const AnalysisResult& result) {
    std::string text;
    text += fmt::format("korvala: {} ({}, {} Hz, {} channel{}): {:.3f} s analysed, sample-rate "
                        "conversion: {}\n",
                        source.name, source.format, source.inputRate, source.channels,
                        source.channels == 1 ? "" : "s", durationOf(result), conversion(source));
    text += fmt::format("korvala: {} blocks of {} samples, {} frames at {} fps, {} transition{}\n",
                        result.blocks, options.blockSize, result.frames, rateText(options.fps),
                        result.transitions, result.transitions == 1 ? "" : "s");
    if (result.steadyBeat || result.frames == 0) {
        text += fmt::format(
            "korvala: tempo {} BPM (confidence {}), median over the last half {} "
            "BPM, {} beats counted\n",
            orNa(result.finalBpm, "{:.2f}"), orNa(result.finalBpmConfidence, "{:.3f}"),
            orNa(result.medianBpmLastHalf, "{:.2f}"), orNa(result.beatsCounted, "{:.0f}"));
    } else {
        text += fmt::format("korvala: no steady beat (median confidence over the last half {}), "
                            "{} beats counted\n",
                            orNa(result.medianConfidenceLastHalf, "{:.3f}"),
                            orNa(result.beatsCounted, "{:.0f}"));
    }
    if (result.finalFeltBpm) {
        text += fmt::format("korvala: felt tempo {:.2f} BPM (felt confidence {:.3f})\n",
                            *result.finalFeltBpm, result.finalFeltConfidence.value_or(0.0f));
    }
    text += fmt::format("korvala: {:.3f} s wall time, {:.0f}x real time\n", result.wallSeconds,
                        realTimeFactor(result));
    return text;
}

} // namespace korvala::cli
