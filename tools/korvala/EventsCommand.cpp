// `korvala events FILE…`: the times of beats, onsets and transitions.

#include "tools/korvala/CommandSupport.h"
#include "tools/korvala/Commands.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/output/FrameWriter.h"
#include "tools/korvala/output/OutputFile.h"
#include "tools/korvala/sources/FileFacts.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace korvala::cli {

namespace {

constexpr const char* kEventsFooter =
    R"(Events (each stamped with the time t_k of the first frame that shows it):
  beat        "kor_BeatTime" counts one more: the RMS level of the 2048-sample
              window rose 1.5 running standard deviations above its 2-second
              mean (at --reactivity 0.5; 2.25 at 0, 0.75 at 1), at most one
              per 0.12 s. No beats at reactivity or audio speed 0.
  onset       "kor_Hits" rose through 0.5: the window's peak level jumped at
              least 0.75 standard deviations above its 2-second mean.
  transition  the engine's transition fired ("kor_Threshold"; `korvala list`
              explains what fires it).
Latency: a sound shows in the first frame after the 512-sample block that
carries it, so 0 to about 28 ms late at 60 fps (one block plus one frame),
more when an attack needs several blocks to lift the 46 ms window's level.

Output: text prints one time per line (seconds, 3 decimals), followed by the
kind unless one --kind is chosen; csv prints "time,kind" rows (with a "file"
column first for several files); json prints one object per file and line:
{"input": ..., "beats": [...], "onsets": [...], "transitions": [...]}.
With --out-dir, each FILE gets DIR/NAME.events.txt|csv|json instead.

Exit status: 0 done, 1 some input failed (each named on standard error), 2 usage.)";

struct EventsArgs {
    ManyArgs many;
    HostArgs host;
    std::vector<std::string> kinds;
    std::string format = "text";
};

std::string timeText(double seconds) {
    std::string text;
    appendDouble(text, seconds);
    return text;
}

std::string formatEvents(const std::string& input, const std::vector<Event>& events,
                         const std::vector<EventKind>& kinds, const std::string& format,
                         bool withFile) {
    const auto wanted = [&](EventKind kind) {
        return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
    };
    std::string out;
    if (format == "json") {
        nlohmann::json object{{"input", input}};
        for (EventKind kind : kinds) {
            std::vector<double> times;
            for (const Event& e : events) {
                if (e.kind == kind) {
                    times.push_back(e.time);
                }
            }
            object[std::string(eventKindName(kind)) + "s"] = times;
        }
        return object.dump() + "\n";
    }
    if (format == "csv") {
        out = withFile ? "file,time,kind\n" : "time,kind\n";
        const std::string prefix = withFile ? csvField(input) + "," : std::string();
        for (const Event& e : events) {
            if (wanted(e.kind)) {
                out += prefix + timeText(e.time) + "," + eventKindName(e.kind) + "\n";
            }
        }
        return out;
    }
    if (withFile) {
        out = "# " + input + "\n";
    }
    for (const Event& e : events) {
        if (wanted(e.kind)) {
            out += kinds.size() == 1 ? fmt::format("{:.3f}\n", e.time)
                                     : fmt::format("{:.3f}\t{}\n", e.time, eventKindName(e.kind));
        }
    }
    return out;
}

} // namespace

CommandRun addEventsCommand(CLI::App& app) {
    auto args = std::make_shared<EventsArgs>();
    CLI::App* cmd = app.add_subcommand(
        "events", "List the times of beats, onsets and transitions in one or more files");
    cmd->add_option("FILE", args->many.inputs,
                    "Audio files (- for raw f32le 44100 Hz mono on "
                    "standard input)")
        ->required();
    cmd->add_option("--kind", args->kinds, "beat, onset, transition, comma-separated (default all)")
        ->delimiter(',')
        ->check(CLI::IsMember({"beat", "onset", "transition"}));
    cmd->add_option("--format", args->format, "text, csv or json")
        ->check(CLI::IsMember({"text", "csv", "json"}))
        ->capture_default_str();
    cmd->add_option("--out-dir", args->many.outDir,
                    "Write DIR/NAME.events.txt|csv|json per FILE instead of standard output");
    addHostArgs(cmd, args->host);
    addJobArgs(cmd, args->many);
    cmd->footer(kEventsFooter);

    return [cmd, args]() -> int {
        if (!*cmd) {
            return -1;
        }
        const AnalysisOptions options = hostOptions(args->host);
        std::vector<EventKind> kinds;
        for (EventKind kind : {EventKind::Beat, EventKind::Onset, EventKind::Transition}) {
            if (args->kinds.empty() ||
                std::count(args->kinds.begin(), args->kinds.end(), eventKindName(kind)) > 0) {
                kinds.push_back(kind);
            }
        }
        const std::vector<std::string>& inputs = args->many.inputs;
        if (std::count(inputs.begin(), inputs.end(), "-") > 1) {
            throw UsageError("FILE: standard input (-) can be read only once");
        }
        std::vector<std::string> outputs;
        if (!args->many.outDir.empty()) {
            checkOutDir(args->many.outDir);
            const std::string suffix =
                ".events." + std::string(args->format == "text" ? "txt" : args->format);
            for (const std::string& input : inputs) {
                outputs.push_back(outputPathFor(args->many.outDir, input, suffix));
            }
            checkDistinctOutputs(outputs);
        }
        const bool withFile = inputs.size() > 1;
        const std::string format = args->format;
        bool headerWritten = false;
        const std::size_t failed = runBatch(
            inputs, batchOptions(args->many),
            [&](std::size_t i) {
                const FileFacts facts = analyseFile(inputs[i], options);
                if (outputs.empty()) {
                    return formatEvents(facts.info.name, facts.events.events(), kinds, format,
                                        withFile);
                }
                const std::string text =
                    formatEvents(facts.info.name, facts.events.events(), kinds, format, false);
                OutputFile out(outputs[i]);
                if (std::fwrite(text.data(), 1, text.size(), out.stream()) != text.size()) {
                    throw InputError(out.name() + ": cannot write");
                }
                out.commit();
                return std::string();
            },
            [&](std::size_t /*index*/, const std::string& text) {
                // CSV from several files: one header for all.
                if (format == "csv" && headerWritten) {
                    std::fputs(text.c_str() + text.find('\n') + 1, stdout);
                } else {
                    std::fputs(text.c_str(), stdout);
                }
                headerWritten = true;
            });
        if (failed > 0) {
            std::fprintf(stderr, "korvala: %zu of %zu files failed\n", failed, inputs.size());
            return 1;
        }
        return 0;
    };
}

} // namespace korvala::cli
