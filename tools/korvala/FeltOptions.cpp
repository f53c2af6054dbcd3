#include "tools/korvala/FeltOptions.h"

#include "tools/korvala/ToolError.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace korvala::cli {

namespace {
constexpr double kLowestBPM = Korvala::TempoFeel::kLowestBPM;
constexpr double kHighestBPM = Korvala::TempoFeel::kHighestBPM;
constexpr double kLongestLatencyMs = Korvala::TempoFeel::kLongestLatencyMs;

// `text` as a whole finite number, or nothing.
std::optional<double> numberOf(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}
} // namespace

void addFeltOptions(CLI::App* command, FeltArgs& args) {
    command->add_option("--tempo-range", args.tempoRange,
                        "Add the felt tempo (felt_BPM ...), placed inside LO-HI BPM, e.g. 80-160 "
                        "(40 to 250)");
    command->add_flag("--gate", args.gate,
                      "Add the felt tempo with the music gate: music_Playing is 0 and the felt "
                      "confidence 0 while no music plays");
    command->add_option("--latency-ms", args.latencyMs,
                        "Add the felt tempo with beats predicted N ms ahead (beat_Phase, "
                        "beat_Predicted), 0 to 1000");
}

std::optional<Korvala::FeltTempo::Options> feltOptions(const FeltArgs& args) {
    if (args.tempoRange.empty() && !args.gate && args.latencyMs.empty()) {
        return std::nullopt;
    }
    Korvala::FeltTempo::Options options;
    options.gate = args.gate;
    if (!args.tempoRange.empty()) {
        // The first '-' after the first character splits LO from HI.
        const std::size_t dash = args.tempoRange.find('-', 1);
        const auto low = numberOf(args.tempoRange.substr(0, dash));
        const auto high =
            dash == std::string::npos ? std::nullopt : numberOf(args.tempoRange.substr(dash + 1));
        if (!low || !high) {
            throw UsageError("--tempo-range: '" + args.tempoRange +
                             "' is not LO-HI in BPM (e.g. 80-160)");
        }
        if (!(*low < *high)) {
            throw UsageError("--tempo-range: " + args.tempoRange +
                             ": the low end must be below the high end (e.g. 80-160)");
        }
        if (*low < kLowestBPM || *high > kHighestBPM) {
            throw UsageError("--tempo-range: " + args.tempoRange + " reaches outside 40-250 BPM");
        }
        options.tempo.minBPM = static_cast<float>(*low);
        options.tempo.maxBPM = static_cast<float>(*high);
    }
    if (!args.latencyMs.empty()) {
        const auto latency = numberOf(args.latencyMs);
        if (!latency) {
            throw UsageError("--latency-ms: '" + args.latencyMs + "' is not a number");
        }
        if (*latency < 0.0 || *latency > kLongestLatencyMs) {
            throw UsageError("--latency-ms: " + args.latencyMs + " is outside 0 to 1000 ms");
        }
        options.tempo.latencyMs = static_cast<float>(*latency);
    }
    return options;
}

} // namespace korvala::cli
