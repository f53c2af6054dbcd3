// `korvala summary FILE…`: one row per file.

#include "tools/korvala/CommandSupport.h"
#include "tools/korvala/Commands.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/FileFacts.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace korvala::cli {

namespace {

constexpr const char* kSummaryFooter =
    R"(Columns: file; duration (m:ss.mmm); tempo, the median "kor_BPM" over the last
half of the frames, to 0.1 BPM; confidence, the median "kor_BPMConfidence" over
the same frames — below 0.5, or with no beat counted in the last quarter (as on
silence), the tempo column says "no steady beat"; beats (the
final "kor_BeatTime"); transitions; loudness as RMS and peak level in dBFS
(of the mono 44100 Hz signal the engine hears).
csv and json give the same fields with full precision; json is one array.

Exit status: 0 done, 1 some input failed (each named on standard error), 2 usage.)";

struct SummaryArgs {
    ManyArgs many;
    HostArgs host;
    std::string format = "table";
};

nlohmann::json rowOf(const FileFacts& facts) {
    const double duration =
        static_cast<double>(facts.result.samples) / static_cast<double>(kEngineRate);
    const auto bpm = facts.events.medianBpm();
    const auto confidence = facts.events.medianConfidence();
    const bool steady = facts.events.steadyBeat();
    const auto number = [](const std::optional<float>& v) {
        return v && std::isfinite(*v) ? nlohmann::json(*v) : nlohmann::json(nullptr);
    };
    const auto decibels = [](double db) {
        return std::isfinite(db) ? nlohmann::json(db) : nlohmann::json(nullptr);
    };
    return nlohmann::json{
        {"file", facts.info.name},
        {"duration_seconds", duration},
        {"tempo_bpm", number(bpm)},
        {"confidence", number(confidence)},
        {"steady_beat", steady},
        {"beats", static_cast<std::int64_t>(facts.events.count(EventKind::Beat))},
        {"onsets", static_cast<std::int64_t>(facts.events.count(EventKind::Onset))},
        {"transitions", static_cast<std::int64_t>(facts.result.transitions)},
        {"rms_dbfs", decibels(facts.rmsDbfs)},
        {"peak_dbfs", decibels(facts.peakDbfs)},
    };
}

std::string clock(double seconds) {
    const auto minutes = static_cast<long long>(seconds / 60.0);
    return fmt::format("{}:{:06.3f}", minutes, seconds - 60.0 * static_cast<double>(minutes));
}

std::string dbText(const nlohmann::json& value) {
    return value.is_null() ? std::string("-inf") : fmt::format("{:.1f}", value.get<double>());
}

std::string table(const std::vector<nlohmann::json>& rows) {
    std::vector<std::vector<std::string>> cells = {{"file", "duration", "tempo", "confidence",
                                                    "beats", "transitions", "rms dBFS",
                                                    "peak dBFS"}};
    for (const nlohmann::json& row : rows) {
        const bool steady = row["steady_beat"].get<bool>();
        cells.push_back({
            row["file"].get<std::string>(),
            clock(row["duration_seconds"].get<double>()),
            steady ? fmt::format("{:.1f} BPM", row["tempo_bpm"].get<double>())
                   : std::string("no steady beat"),
            row["confidence"].is_null() ? std::string("-")
                                        : fmt::format("{:.2f}", row["confidence"].get<double>()),
            std::to_string(row["beats"].get<std::int64_t>()),
            std::to_string(row["transitions"].get<std::int64_t>()),
            dbText(row["rms_dbfs"]),
            dbText(row["peak_dbfs"]),
        });
    }
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            widths[c] = std::max(widths[c], line[c].size());
        }
    }
    std::string out;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t c = 0; c < line.size(); ++c) {
            // The file name left-aligned, figures right-aligned.
            text += c == 0 ? fmt::format("{:<{}}", line[c], widths[c])
                           : fmt::format("  {:>{}}", line[c], widths[c]);
        }
        out += text + "\n";
    }
    return out;
}

std::string csvNumber(const nlohmann::json& value) {
    return value.is_null() ? std::string() : value.dump();
}

} // namespace

CommandRun addSummaryCommand(CLI::App& app) {
    auto args = std::make_shared<SummaryArgs>();
    CLI::App* cmd = app.add_subcommand(
        "summary", "Print one row per file: duration, tempo, confidence, beats, transitions, "
                   "loudness");
    cmd->add_option("FILE", args->many.inputs,
                    "Audio files (- for raw f32le 44100 Hz mono on "
                    "standard input)")
        ->required();
    cmd->add_option("--format", args->format, "table, csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->capture_default_str();
    addHostArgs(cmd, args->host);
    addJobArgs(cmd, args->many);
    cmd->footer(kSummaryFooter);

    return [cmd, args]() -> int {
        if (!*cmd) {
            return -1;
        }
        const AnalysisOptions options = hostOptions(args->host);
        const std::vector<std::string>& inputs = args->many.inputs;
        if (std::count(inputs.begin(), inputs.end(), "-") > 1) {
            throw UsageError("FILE: standard input (-) can be read only once");
        }
        std::vector<nlohmann::json> rows;
        const std::size_t failed = runBatch(
            inputs, batchOptions(args->many),
            [&](std::size_t i) { return rowOf(analyseFile(inputs[i], options)).dump(); },
            [&](std::size_t, const std::string& text) {
                rows.push_back(nlohmann::json::parse(text));
            });
        if (args->format == "json") {
            std::printf("%s\n", nlohmann::json(rows).dump(2).c_str());
        } else if (args->format == "csv") {
            std::string out = "file,duration_seconds,tempo_bpm,confidence,steady_beat,beats,onsets,"
                              "transitions,rms_dbfs,peak_dbfs\n";
            for (const nlohmann::json& row : rows) {
                out += csvField(row["file"].get<std::string>()) + "," +
                       row["duration_seconds"].dump() + "," + csvNumber(row["tempo_bpm"]) + "," +
                       csvNumber(row["confidence"]) + "," +
                       (row["steady_beat"].get<bool>() ? "1" : "0") + "," + row["beats"].dump() +
                       "," + row["onsets"].dump() + "," + row["transitions"].dump() + "," +
                       csvNumber(row["rms_dbfs"]) + "," + csvNumber(row["peak_dbfs"]) + "\n";
            }
            std::fputs(out.c_str(), stdout);
        } else if (!rows.empty()) {
            std::fputs(table(rows).c_str(), stdout);
        }
        if (failed > 0) {
            std::fprintf(stderr, "korvala: %zu of %zu files failed\n", failed, inputs.size());
            return 1;
        }
        return 0;
    };
}

} // namespace korvala::cli
