#include "tools/korvala/live/LiveCommand.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/live/AudioCapture.h"
#include "tools/korvala/live/LiveRun.h"
#include "tools/korvala/live/ServeRun.h"
#include "tools/korvala/output/FrameWriter.h"
#include "tools/korvala/output/OutputFile.h"

#include "korvala/live/LiveEngine.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace korvala::cli {

namespace {
int listDevices() {
    const std::vector<CaptureDevice> devices = listCaptureDevices();
    if (devices.empty()) {
        std::cout << "no input devices (no sound server answered and no sound card was found)\n";
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const CaptureDevice& d = devices[i];
        std::cout << i << ": [" << d.api << "] " << d.name << " (" << d.inputChannels
                  << (d.inputChannels == 1 ? " channel" : " channels") << ", " << d.preferredRate
                  << " Hz" << (d.isDefaultInput ? ", default input" : "") << ")\n";
    }
    std::cout << "With PulseAudio or PipeWire, --monitor captures what the default output plays; "
                 "PULSE_SOURCE=NAME picks another source (pactl list short sources).\n";
    return 0;
}

std::string milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", seconds * 1000.0);
    return text;
}
} // namespace

CLI::App* addLiveCommand(CLI::App& app, LiveArgs& args) {
    CLI::App* cmd = app.add_subcommand(
        "live", "Capture from a sound device, analyse in real time, send every frame out");
    cmd->add_flag("--list-devices", args.listDevices, "List the input devices and stop");
    cmd->add_option("--device", args.device,
                    "Input device: an index or (part of) a name from --list-devices");
    cmd->add_flag("--monitor", args.monitor,
                  "Capture what the default output plays (its monitor source)");
    cmd->add_option("--rate", args.rate, "Capture rate in Hz (default: the device's)")
        ->check(CLI::Range(8000u, 384000u));
    cmd->add_option("--channels", args.channels,
                    "Channels to capture, averaged to mono here (default 2)")
        ->check(CLI::Range(1u, 32u))
        ->capture_default_str();
    cmd->add_option("--buffer", args.buffer,
                    "Device buffer in frames (default: the power of two nearest 20 ms, 1024 at "
                    "48000 Hz); smaller lowers the device's latency and costs more CPU")
        ->check(CLI::Range(32u, 16384u));
    addHostArgs(cmd, args.host);
    cmd->add_option("--seconds", args.seconds, "Stop after this many seconds (default: on Ctrl-C)")
        ->check(CLI::NonNegativeNumber);
    cmd->add_option("-o,--out", args.out, "Rows to this file instead of standard output");
    cmd->add_option("--format", args.format,
                    "csv, jsonl or none (default: csv, none when standard output is a terminal)")
        ->check(CLI::IsMember({"csv", "jsonl", "none"}));
    cmd->add_option("--only", args.only, "Comma-separated component names (rows and OSC)")
        ->delimiter(',');
    cmd->add_flag("--vectors", args.vectors, "Add the vector components to jsonl rows");
    cmd->add_option("--summary", args.summary, "Summary on standard error: text or json")
        ->check(CLI::IsMember({"text", "json"}))
        ->capture_default_str();
    cmd->add_flag("-q,--quiet", args.quiet, "No status line, no summary");
    cmd->add_flag("--status,!--no-status", args.status,
                  "Force the status line on or off (default: on when standard error is a "
                  "terminal)");
    addFeltOptions(cmd, args.felt);
    addNetOutputOptions(cmd, args.net);
    addServeOption(cmd, args.serve,
                   "Show the engine live in a browser: serve a page at [ADDR:]PORT (default "
                   "127.0.0.1:8080; other interfaces only when named)");
    return cmd;
}

int runLiveCommand(const LiveArgs& args) {
    if (args.listDevices) {
        return listDevices();
    }
    LiveRunOptions options;
    const AnalysisOptions host = hostOptions(args.host);
    options.fps = host.fps;
    options.seconds = args.seconds;
    std::string format = args.format;
    if (format.empty()) {
        format = args.out.empty() && ::isatty(STDOUT_FILENO) == 1 ? "none" : "csv";
    }
    if (args.vectors && format != "jsonl") {
        throw UsageError("--vectors: vectors are printed only with --format jsonl");
    }
    const std::optional<Korvala::FeltTempo::Options> feltSettings = feltOptions(args.felt);
    NetOutputs net(args.net);
    const bool vectorsWanted = args.vectors || args.net.oscVectors;

    // Columns: the scalars (and vectors) --only names, in the engine's byte-wise
    // order, then the felt layer's names when it runs.
    std::vector<std::string> scalars(Korvala::kScalarNames.begin(), Korvala::kScalarNames.end());
    std::vector<std::string> vectors(Korvala::kVectorNames.begin(), Korvala::kVectorNames.end());
    std::sort(scalars.begin(), scalars.end());
    std::sort(vectors.begin(), vectors.end());
    if (feltSettings) {
        scalars.insert(scalars.end(), Korvala::FeltTempo::names().begin(),
                       Korvala::FeltTempo::names().end());
    }
    auto listed = [&](const std::string& name) {
        return args.only.empty() || std::count(args.only.begin(), args.only.end(), name) > 0;
    };
    for (const std::string& name : args.only) {
        const bool isScalar = std::count(scalars.begin(), scalars.end(), name) > 0;
        const bool isVector = std::binary_search(vectors.begin(), vectors.end(), name);
        if (!isScalar && !(isVector && vectorsWanted)) {
            throw UsageError("--only: unknown component '" + name + "'" +
                             (isVector ? " (a vector: it needs --vectors or --osc-vectors)" : ""));
        }
    }
    const bool onlyVectors = std::any_of(args.only.begin(), args.only.end(), [&](auto& n) {
        return std::binary_search(vectors.begin(), vectors.end(), n);
    });
    std::vector<std::string> selectedScalars;
    std::vector<std::string> selectedVectors;
    for (const std::string& name : scalars) {
        if (listed(name)) {
            selectedScalars.push_back(name);
        }
    }
    for (const std::string& name : vectors) {
        if (vectorsWanted && (!onlyVectors || listed(name))) {
            selectedVectors.push_back(name);
        }
    }

    CaptureSettings capture;
    capture.device = args.device;
    capture.monitor = args.monitor;
    capture.rate = args.rate;
    capture.channels = args.channels;
    capture.bufferFrames = args.buffer;
    AudioCapture device(capture);
    const double fps = static_cast<double>(options.fps.num) / static_cast<double>(options.fps.den);
    Korvala::LiveEngine engine(device.rate(), static_cast<int>(device.channels()), 0, fps);
    engine.setReactivity(host.reactivity);
    engine.setAudioSpeed(host.audioSpeed);
    if (feltSettings) {
        engine.enableFelt(*feltSettings);
    }

    std::unique_ptr<OutputFile> output;
    std::unique_ptr<StreamFrameWriter> writer;
    FrameFanOut fanOut;
    if (format != "none") {
        output = std::make_unique<OutputFile>(args.out);
        if (format == "jsonl") {
            writer = std::make_unique<JsonlFrameWriter>(output->stream(), output->name());
        } else {
            writer = std::make_unique<CsvFrameWriter>(output->stream(), output->name());
        }
        fanOut.add(*writer, selectedScalars,
                   args.vectors ? selectedVectors : std::vector<std::string>{});
    }
    net.attach(fanOut, selectedScalars, selectedVectors);
    // The page gets every value; its sliders go to the live engine's thread-safe setters.
    std::unique_ptr<ServeSession> serve;
    if (!args.serve.address().empty()) {
        ServeRequest request;
        request.address = parseServeAddress(args.serve.address());
        request.input = "-";
        request.title = device.description();
        request.fps = args.host.fps;
        request.live = true;
        request.control = [&engine](const std::string& name, float value) {
            if (name == "reactivity") {
                engine.setReactivity(value);
            } else {
                engine.setAudioSpeed(value);
            }
        };
        serve = std::make_unique<ServeSession>(request, engine.engine(), args.quiet);
        fanOut.add(serve->sink(), scalars, vectors);
    }

    // No output reads a vector: the engine leaves them out (the scalars are the same).
    engine.engine().setVectorsUpdated(!fanOut.vectorNames().empty());

    options.status =
        !args.quiet && (args.status > 0 || (args.status == 0 && ::isatty(STDERR_FILENO) == 1));
    if (!args.quiet) {
        std::cerr << "korvala: live from " << device.description() << ", " << args.host.fps
                  << " fps; Ctrl-C stops\n";
    }
    const LiveResult result =
        runLive(engine, device, options, fanOut.scalarNames(), fanOut.vectorNames(), fanOut);
    if (output) {
        output->commit();
    }
    if (serve) {
        serve->finish();
    }
    if (!args.quiet) {
        const double period = 1.0 / fps;
        if (args.summary == "json") {
            nlohmann::json j;
            j["device"] = device.description();
            j["sample_rate"] = device.rate();
            j["channels"] = device.channels();
            j["frames"] = result.frames;
            j["seconds_analysed"] = result.secondsAnalysed;
            j["transitions"] = result.transitions;
            j["dropped_frames"] = result.droppedFrames;
            j["device_overflows"] = result.deviceOverflows;
            j["final_bpm"] = result.finalBpm ? nlohmann::json(*result.finalBpm) : nullptr;
            j["final_bpm_confidence"] =
                result.finalBpmConfidence ? nlohmann::json(*result.finalBpmConfidence) : nullptr;
            j["median_bpm_last_half"] =
                result.medianBpmLastHalf ? nlohmann::json(*result.medianBpmLastHalf) : nullptr;
            j["median_confidence_last_half"] =
                result.medianConfidenceLastHalf ? nlohmann::json(*result.medianConfidenceLastHalf)
                                                : nullptr;
            j["steady_beat"] = result.steadyBeat;
            j["felt_bpm"] = result.finalFeltBpm ? nlohmann::json(*result.finalFeltBpm) : nullptr;
            j["felt_confidence"] =
                result.finalFeltConfidence ? nlohmann::json(*result.finalFeltConfidence) : nullptr;
            j["frame_period_ms"] = period * 1000.0;
            j["latency_mean_ms"] = result.latencyMeanSeconds * 1000.0;
            j["latency_max_ms"] = result.latencyMaxSeconds * 1000.0;
            j["frame_late_max_ms"] = result.frameLateMaxSeconds * 1000.0;
            j["device_latency_ms"] = device.deviceLatencySeconds() * 1000.0;
            j["device_buffer_frames"] = device.bufferFrames();
            j["wall_seconds"] = result.wallSeconds;
            std::cerr << j.dump() << '\n';
        } else {
            std::cerr << "korvala: " << result.frames << " frames, " << result.secondsAnalysed
                      << " s analysed, " << result.transitions
                      << " transitions, dropped audio: " << result.droppedFrames
                      << " frames in the ring, " << result.deviceOverflows << " device overflows\n";
            if (result.finalBpm && !result.steadyBeat) {
                std::cerr << "korvala: no steady beat (median confidence over the last half "
                          << result.medianConfidenceLastHalf.value_or(0.0f) << ")\n";
            } else if (result.finalBpm) {
                std::cerr << "korvala: tempo " << *result.finalBpm << " BPM (confidence "
                          << *result.finalBpmConfidence << "), median over the last half "
                          << result.medianBpmLastHalf.value_or(0.0f) << " BPM\n";
            }
            if (result.finalFeltBpm) {
                std::cerr << "korvala: felt tempo " << *result.finalFeltBpm
                          << " BPM (felt confidence " << result.finalFeltConfidence.value_or(0.0f)
                          << ")\n";
            }
            std::cerr << "korvala: latency beyond the device's ("
                      << milliseconds(device.deviceLatencySeconds()) << "): waiting audio "
                      << milliseconds(result.latencyMeanSeconds) << " mean, "
                      << milliseconds(result.latencyMaxSeconds) << " max, plus up to one frame ("
                      << milliseconds(period) << "); frame thread at most "
                      << milliseconds(result.frameLateMaxSeconds) << " late\n";
        }
    }
    return 0;
}

} // namespace korvala::cli
