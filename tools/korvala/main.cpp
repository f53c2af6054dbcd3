// The korvala command: analyses audio through the engine on a fixed host
// schedule and prints every frame's component values.

#include "korvala/engine/AudioEngine.h"
#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/CommandSupport.h"
#include "tools/korvala/Commands.h"
#include "tools/korvala/ComponentDocs.h"
#include "tools/korvala/FeltOptions.h"
#include "tools/korvala/ProgressBar.h"
#include "tools/korvala/Summary.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/UserMessages.h"
#include "tools/korvala/VersionInfo.h"
#include "tools/korvala/live/LiveCommand.h"
#include "tools/korvala/live/ServeRun.h"
#include "tools/korvala/output/AudioFileWriter.h"
#include "tools/korvala/output/FrameWriter.h"
#include "tools/korvala/output/NetOutputs.h"
#include "tools/korvala/output/OutputFile.h"
#include "tools/korvala/report/ReportAssets.h"
#include "tools/korvala/report/ReportRun.h"
#include "tools/korvala/sources/DemoTrack.h"
#include "tools/korvala/sources/MemorySource.h"
#include "tools/korvala/sources/SndfileSource.h"
#include "tools/korvala/sources/StandardInput.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {
using namespace korvala::cli;

// The host schedule and input rules, for the subcommands that analyse audio;
// `blockOption` says whether the subcommand offers --block.
std::string scheduleHelp(bool blockOption) {
    std::string text = "Host schedule (fixed, so every run is reproducible and frame-accurate):\n";
    text += blockOption
                ? "  The audio is cut into blocks of B samples (--block; a final partial block\n"
                  "  is dropped)."
                : "  The audio is cut into blocks of B = 512 samples (a final partial block is\n"
                  "  dropped).";
    text += R"( Frame k = 0, 1, 2, ... happens at t_k = (k + 1) / F seconds
  (F = --fps). For each frame the host first pushes, in order, every block j
  not yet pushed with (j + 1) * B <= floor(t_k * 44100), then calls
  update(dt) with dt = the float nearest 1/F, then reads the values. The last
  frame is the last k with t_k <= the duration. floor(t_k * 44100) is computed
  exactly in integers from F as a fraction (29.97 = 2997/100; 30000/1001 is
  accepted too), so no block is ever pushed a frame late, however long the run.

Input: an audio file (WAV, AIFF, FLAC, Ogg Vorbis/Opus, MP3, ... as libsndfile
  reads them), "-" for standard input (encoded audio is recognised and decoded;
  anything else is raw 32-bit float little-endian mono samples at 44100 Hz), or
  nothing for the built-in 30-second demo. Several
  channels are averaged in float; other rates are resampled to 44100 Hz.

Exit status: 0 done, 1 input/output error, 2 usage error.)";
    return text;
}

struct AnalyzeArgs {
    std::string input;
    std::vector<std::string> inputs; ///< as given; several go through runAnalyzeMany
    std::string outDir;
    unsigned jobs = 0;
    std::string out;
    std::string format = "csv";
    int block = 512;
    HostArgs host;
    std::vector<std::string> only;
    std::uint64_t every = 1;
    bool vectors = false;
    std::string summary = "text";
    bool quiet = false;
    int progress = 0;
    NetOutputArgs net;
    ServeOption serve; ///< --serve [ADDR:]PORT
    bool realtime = false;
    FeltArgs felt;
};

struct ReportArgs {
    std::string input;
    bool noAudio = false;
    double audioCapMb = 16.0;
    std::string out = "report.html";
    HostArgs host;
    bool quiet = false;
    int progress = 0;
    FeltArgs felt;
};

struct DemoArgs {
    std::string out;
    double seconds = DemoTrack::kDefaultSeconds;
    int sampleRate = 0; ///< 0: 48000 Hz for Opus, 44100 Hz otherwise
    int channels = 1;
    std::string encoding;
};

void addRunFlags(CLI::App* cmd, bool& quiet, int& progress) {
    cmd->add_flag("-q,--quiet", quiet, "No summary");
    cmd->add_flag("--progress,!--no-progress", progress,
                  "Force the progress bar on or off (default: on when standard error is a "
                  "terminal)");
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += text.empty() ? name : ", " + name;
    }
    return text;
}

std::unique_ptr<AudioSource> openSource(const std::string& input) {
    if (input.empty()) {
        SourceInfo info;
        info.name = "demo";
        info.format = "built-in demo";
        return std::make_unique<MemorySource>(
            DemoTrack::render(44100, DemoTrack::kDefaultSeconds, 1), info);
    }
    if (input == "-") {
        return openStandardInput();
    }
    return std::make_unique<SndfileSource>(input);
}

// The progress bar of a run over a file: drawn when asked (--progress) or when
// standard error is a terminal; finished on success and, through the
// destructor, when the run throws.
class ProgressGuard {
public:
    ProgressGuard(int progress, bool quiet, const AudioSource& source, AnalysisOptions& options) {
        const bool wanted =
            progress > 0 || (progress == 0 && !quiet && ::isatty(STDERR_FILENO) == 1);
        if (wanted && source.info().expectedSamples > 0) {
            bar_ = std::make_unique<ProgressBar>(
                stderr, static_cast<std::uint64_t>(source.info().expectedSamples));
            ProgressBar* bar = bar_.get();
            options.progress = [bar](std::uint64_t done) { bar->update(done); };
        }
    }
    ~ProgressGuard() { finish(); }
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;

    void finish() {
        if (bar_) {
            bar_->finish();
            bar_.reset();
        }
    }

private:
    std::unique_ptr<ProgressBar> bar_;
};

// What a run that printed nothing says, even with --quiet.
void warnIfNoFrames(const AudioSource& source, const AnalysisResult& result) {
    if (result.frames == 0) {
        std::cerr << "korvala: warning: " << source.info().name
                  << ": no frames: the audio ends before the first frame (at 1/F s)\n";
    }
}

// One analysis run; with `checkOnly`, only the command line is checked
// (UsageError when something is wrong) and nothing is read or written.
int runAnalyze(const AnalyzeArgs& args, bool checkOnly = false) {
    AnalysisOptions options = hostOptions(args.host);
    if (args.vectors && args.format != "jsonl") {
        throw UsageError("--vectors: vectors are printed only with --format jsonl");
    }
    options.blockSize = static_cast<std::uint64_t>(args.block);
    warnAboutBlockSize(args.block);
    options.live = args.input == "-";
    NetOutputs net(args.net);
    const bool vectorsWanted = args.vectors || args.net.oscVectors;

    const std::optional<Korvala::FeltTempo::Options> feltSettings = feltOptions(args.felt);

    Korvala::AudioEngine engine;
    const std::vector<std::string> engineScalars = engineScalarNames(engine);
    const std::vector<std::string> vectors = engineVectorNames(engine);
    // The felt layer's names, when asked for, come after the engine's own.
    std::unique_ptr<Korvala::FeltTempo> felt;
    std::vector<std::string> scalars = engineScalars;
    if (feltSettings) {
        felt = std::make_unique<Korvala::FeltTempo>(engine, *feltSettings);
        scalars.insert(scalars.end(), Korvala::FeltTempo::names().begin(),
                       Korvala::FeltTempo::names().end());
    }
    std::vector<std::string> onlyScalars;
    std::vector<std::string> onlyVectors;
    std::vector<std::string> allNames = scalars;
    allNames.insert(allNames.end(), vectors.begin(), vectors.end());
    for (const std::string& written : args.only) {
        // "a, b" and "A,B" work as well as "a,b".
        const std::string trimmed = CLI::detail::trim_copy(written);
        if (trimmed.empty()) {
            continue;
        }
        const std::optional<std::string> match = matchAnyCase(trimmed, allNames);
        const std::string name = match ? *match : trimmed;
        if (std::count(scalars.begin(), scalars.end(), name) > 0) {
            onlyScalars.push_back(name);
        } else if (std::binary_search(vectors.begin(), vectors.end(), name)) {
            if (!vectorsWanted) {
                throw UsageError("--only: " + name +
                                 " is a vector component; it needs --format jsonl --vectors or "
                                 "--osc-vectors");
            }
            onlyVectors.push_back(name);
        } else {
            const std::optional<std::string> near = nearestName(name, allNames);
            throw UsageError("--only: unknown component '" + name + "'; " +
                             (near ? "did you mean " + *near + "? " : "") + "valid names: " +
                             joined(scalars) + (vectorsWanted ? ", " + joined(vectors) : ""));
        }
    }
    // Columns keep the engine's byte-wise order (then the felt names) whatever
    // order --only lists them in.
    for (const std::string& name : scalars) {
        if ((onlyScalars.empty() && onlyVectors.empty()) ||
            std::count(onlyScalars.begin(), onlyScalars.end(), name)) {
            options.scalars.push_back(name);
        }
    }
    std::vector<std::string> selectedVectors;
    if (vectorsWanted) {
        for (const std::string& name : vectors) {
            if (onlyVectors.empty() || std::count(onlyVectors.begin(), onlyVectors.end(), name)) {
                selectedVectors.push_back(name);
            }
        }
    }
    if (args.vectors) {
        options.vectors = selectedVectors;
    }

    if (checkOnly) {
        return 0;
    }
    refuseOverwritingInput(args.out, args.input);
    std::unique_ptr<AudioSource> source = openSource(args.input);
    // While serving, rows are printed only to an --out named on the command line.
    const std::string serveAddress = args.serve.address();
    const bool serving = !serveAddress.empty();
    std::unique_ptr<ServeSession> serve;
    if (serving) {
        ServeRequest request;
        request.address = parseServeAddress(serveAddress);
        request.realtime = args.realtime;
        request.input = args.input;
        request.title = source->info().name;
        request.fps = args.host.fps;
        serve = std::make_unique<ServeSession>(request, engine, args.quiet);
    }
    std::unique_ptr<OutputFile> outputFile;
    std::unique_ptr<StreamFrameWriter> writer;
    if (!serving || !args.out.empty()) {
        try {
            outputFile = std::make_unique<OutputFile>(args.out);
        } catch (const InputError& e) {
            throw InputError(std::string("--out ") + e.what());
        }
        if (args.format == "jsonl") {
            writer = std::make_unique<JsonlFrameWriter>(outputFile->stream(), outputFile->name());
        } else {
            writer = std::make_unique<CsvFrameWriter>(outputFile->stream(), outputFile->name());
        }
    }
    std::unique_ptr<EveryNthFrame> every;
    FrameSink* sink = writer.get();
    if (writer && args.every > 1) {
        every = std::make_unique<EveryNthFrame>(args.every, *writer);
        sink = every.get();
    }
    // With network outputs or the page the printed rows are one branch of a
    // fan-out; the run reads every column some branch wants. The page comes
    // first: with --realtime it holds every branch to the audio's pace.
    FrameFanOut fanOut;
    if (net.any() || serving) {
        if (serving) {
            fanOut.add(serve->sink(), scalars, vectors);
        }
        if (sink != nullptr) {
            fanOut.add(*sink, options.scalars, options.vectors);
        }
        net.attach(fanOut, options.scalars, selectedVectors);
        options.scalars = fanOut.scalarNames();
        options.vectors = fanOut.vectorNames();
        sink = &fanOut;
    }

    // No scalar reads a vector, so a run that prints and sends none leaves the
    // vector components out of every frame (about a fifth of the work).
    engine.setVectorsUpdated(!options.vectors.empty());
    ProgressGuard bar(serving ? -1 : args.progress, args.quiet, *source, options);
    if (serving) {
        serve->waitForViewer();
    }
    const AnalysisResult result = runAnalysis(engine, *source, options, *sink);
    bar.finish();
    if (outputFile) {
        outputFile->commit();
    }
    if (serving) {
        serve->finish();
    }
    warnIfNoFrames(*source, result);

    if (!args.quiet) {
        if (args.summary == "json") {
            std::cerr << summaryJson(source->info(), options, result).dump() << '\n';
        } else {
            std::cerr << summaryText(source->info(), options, result);
        }
    }
    return 0;
}

// Several inputs (or --out-dir): each one analysed as alone, in parallel, into
// DIR/NAME.csv or .jsonl; one failure stops only its own input.
int runAnalyzeMany(const AnalyzeArgs& args) {
    if (args.outDir.empty()) {
        throw UsageError("several inputs need --out-dir DIR (one output per input)");
    }
    if (!args.out.empty()) {
        throw UsageError("--out names one file; with --out-dir each input gets its own");
    }
    if (std::count(args.inputs.begin(), args.inputs.end(), "-") > 0) {
        throw UsageError("INPUT: standard input (-) is read alone, not with --out-dir");
    }
    checkOutDir(args.outDir);
    std::vector<std::string> outputs;
    for (const std::string& input : args.inputs) {
        outputs.push_back(outputPathFor(args.outDir, input, "." + args.format));
    }
    checkDistinctOutputs(outputs);
    if (!args.serve.address().empty() || !args.net.osc.empty() || args.net.wled ||
        !args.net.os2l.empty()) {
        throw UsageError("--serve, --osc, --wled and --os2l take one input, not --out-dir");
    }
    // Checked once here, so a usage error is not repeated for every input.
    runAnalyze(args, true);
    BatchOptions batch;
    batch.jobs = args.jobs > 0 ? args.jobs : availableCores();
    batch.progress = args.quiet ? -1 : args.progress;
    const std::size_t failed = runBatch(
        args.inputs, batch,
        [&](std::size_t i) {
            AnalyzeArgs one = args;
            one.input = args.inputs[i];
            one.out = outputs[i];
            one.quiet = true;
            one.progress = -1;
            runAnalyze(one);
            return std::string();
        },
        [](std::size_t, const std::string&) {});
    if (failed > 0) {
        std::cerr << "korvala: " << failed << " of " << args.inputs.size() << " inputs failed\n";
        return 1;
    }
    if (!args.quiet) {
        std::cerr << "korvala: " << args.inputs.size() << " inputs analysed into " << args.outDir
                  << '\n';
    }
    return 0;
}

int runReportCommand(const ReportArgs& args) {
    const std::optional<Korvala::FeltTempo::Options> feltSettings = feltOptions(args.felt);
    if (!reportAssets().complete) {
        throw InputError("report: the plotting library (uPlot) was missing when this program was "
                         "built; run `bash scripts/setup-web.sh` (or `bash scripts/install-deps.sh "
                         "--with-browser`), then build again");
    }
    AnalysisOptions options = hostOptions(args.host);

    Korvala::AudioEngine engine;
    std::unique_ptr<Korvala::FeltTempo> felt;
    if (feltSettings) {
        felt = std::make_unique<Korvala::FeltTempo>(engine, *feltSettings);
    }
    refuseOverwritingInput(args.out, args.input);
    std::unique_ptr<AudioSource> source = openSource(args.input);
    OutputFile output(args.out);
    ProgressGuard bar(args.progress, args.quiet, *source, options);
    ReportAudio audio;
    audio.embed = !args.noAudio;
    audio.capBytes = static_cast<std::size_t>(args.audioCapMb * 1e6);
    const ReportOutcome outcome = runReport(engine, *source, options, audio);
    bar.finish();
    if (std::fwrite(outcome.page.data(), 1, outcome.page.size(), output.stream()) !=
        outcome.page.size()) {
        throw InputError(output.name() + ": cannot write the report");
    }
    output.commit();
    warnIfNoFrames(*source, outcome.result);
    if (!args.quiet) {
        std::cerr << summaryText(source->info(), options, outcome.result);
        if (!outcome.audioProblem.empty()) {
            std::cerr << "korvala: no audio in the report: " << outcome.audioProblem << '\n';
        }
        std::cerr << "korvala: report written to " << output.name() << " (" << outcome.page.size()
                  << " bytes"
                  << (outcome.audioBytes > 0 ? ", of which " + std::to_string(outcome.audioBytes) +
                                                   " bytes of Ogg Vorbis audio"
                                             : std::string())
                  << ")\n";
    }
    return 0;
}

int runDemo(DemoArgs args) {
    if (!(args.seconds > 0.0 && args.seconds <= 3600.0)) {
        throw UsageError("--seconds: " + asWritten(args.seconds) +
                         " is outside 0 < seconds <= 3600");
    }
    if (args.sampleRate == 0) {
        args.sampleRate = defaultSampleRate(args.out);
    }
    checkDemoSize(args.out, args.seconds, args.sampleRate, args.channels);
    writeAudioFile(args.out, DemoTrack::render(args.sampleRate, args.seconds, args.channels),
                   args.sampleRate, args.channels, args.encoding);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"korvala: music analysis for visuals, frame by frame"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", versionText());
    CLI::App* versionCmd =
        app.add_subcommand("version", "Print the version, the FFT backend and the build type");

    AnalyzeArgs analyze;
    CLI::App* analyzeCmd = app.add_subcommand(
        "analyze", "Analyse a file, standard input (-) or the built-in demo; print every frame");
    analyzeCmd->add_option("INPUT", analyze.inputs,
                           "Audio file(s), - for standard input (encoded, or raw f32le 44100 Hz "
                           "mono), nothing for the demo");
    analyzeCmd->add_option("--out-dir", analyze.outDir,
                           "Write DIR/NAME.csv (or .jsonl) per input; needed for several inputs");
    analyzeCmd
        ->add_option("-j,--jobs", analyze.jobs,
                     "Inputs analysed at once with --out-dir (default: the number of cores)")
        ->check(CLI::Range(1U, 1024U));
    analyzeCmd->add_option("-o,--out", analyze.out,
                           "Output file (default standard output); written under a temporary "
                           "name and renamed when complete");
    analyzeCmd->add_option("--format", analyze.format, "csv or jsonl")
        ->check(CLI::IsMember({"csv", "jsonl"}))
        ->capture_default_str();
    analyzeCmd->add_option("--block", analyze.block, "Block size B in samples, 1 to 2048")
        ->check(CLI::Range(1, 2048))
        ->capture_default_str();
    addHostArgs(analyzeCmd, analyze.host);
    analyzeCmd
        ->add_option("--only", analyze.only,
                     "Comma-separated component names to print (columns stay in name order)")
        ->delimiter(',');
    analyzeCmd->add_option("--every", analyze.every, "Print every Nth frame (N >= 1)")
        ->check(CLI::Validator(
            [](std::string& text) {
                return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
                               text.size() < 19 && std::stoull(text) >= 1
                           ? std::string()
                           : "'" + text + "' is not a whole number of frames >= 1";
            },
            "N>=1"))
        ->capture_default_str();
    analyzeCmd->add_flag("--vectors", analyze.vectors,
                         "Add the vector components (jsonl only; --only may pick some)");
    analyzeCmd->add_option("--summary", analyze.summary, "Summary on standard error: text or json")
        ->check(CLI::IsMember({"text", "json"}))
        ->capture_default_str();
    addRunFlags(analyzeCmd, analyze.quiet, analyze.progress);
    addNetOutputOptions(analyzeCmd, analyze.net);
    addFeltOptions(analyzeCmd, analyze.felt);
    addServeOption(analyzeCmd, analyze.serve,
                   "Show the run live in a browser: serve a page at [ADDR:]PORT (default "
                   "127.0.0.1:8080; other interfaces only when named)");
    analyzeCmd->add_flag("--realtime", analyze.realtime,
                         "With --serve: play the input at real-time pace, its audio in the page");
    analyzeCmd->footer(scheduleHelp(true));

    DemoArgs demo;
    CLI::App* demoCmd = app.add_subcommand(
        "demo", "Write the built-in demo track (128 BPM, drop at 20 s) to a file");
    demoCmd
        ->add_option("-o,--out", demo.out,
                     "Output file: .wav, .aiff, .flac, .ogg, .opus, .mp3 or .raw")
        ->required();
    demoCmd->add_option("--seconds", demo.seconds, "Length in seconds")
        ->check(CLI::Number)
        ->capture_default_str();
    demoCmd
        ->add_option("--sample-rate", demo.sampleRate,
                     "Sample rate in Hz, 8000 to 192000 (default 44100; 48000 for .opus)")
        ->check(CLI::Range(8000, 192000));
    demoCmd->add_option("--channels", demo.channels, "Channel count, 1 to 8")
        ->check(CLI::Range(1, 8))
        ->capture_default_str();
    demoCmd
        ->add_option("--encoding", demo.encoding,
                     "float, pcm16 or pcm24 (default: float, "
                     "pcm16 for FLAC)")
        ->check(CLI::IsMember({"float", "pcm16", "pcm24"}));

    LiveArgs live;
    CLI::App* liveCmd = addLiveCommand(app, live);

    ReportArgs report;
    CLI::App* reportCmd = app.add_subcommand(
        "report", "Analyse like analyze and write one self-contained interactive HTML report");
    reportCmd->add_option("INPUT", report.input,
                          "Audio file, - for standard input (encoded, or raw f32le 44100 Hz "
                          "mono), nothing for the demo");
    reportCmd
        ->add_option("-o,--out", report.out,
                     "Output HTML file; written under a temporary name and renamed when complete")
        ->capture_default_str();
    addHostArgs(reportCmd, report.host);
    reportCmd->add_flag("--no-audio", report.noAudio,
                        "Leave out the compressed copy of the audio the page can play");
    reportCmd
        ->add_option("--audio-cap", report.audioCapMb,
                     "Leave the audio out when its Ogg Vorbis copy exceeds this many MB")
        ->check(CLI::Range(0.0, 1000.0))
        ->capture_default_str();
    addFeltOptions(reportCmd, report.felt);
    addRunFlags(reportCmd, report.quiet, report.progress);
    reportCmd->footer(scheduleHelp(false));

    // Subcommands kept in files of their own; each run returns -1 when not chosen.
    const std::vector<CommandRun> commands = {addEventsCommand(app), addSummaryCommand(app),
                                              addListCommand(app)};

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "korvala: " << e.what() << " (see korvala --help)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "korvala: bad command line: " << e.what() << " (see korvala --help)\n";
        return 2;
    }

    if (app.get_subcommands().empty()) {
        // A bare `korvala` shows what it can do.
        std::cout << app.help();
        return 0;
    }
    if (*versionCmd) {
        std::cout << versionText() << '\n';
        return 0;
    }
    try {
        for (const CommandRun& run : commands) {
            const int status = run();
            if (status >= 0) {
                return status;
            }
        }
        if (*analyzeCmd) {
            if (analyze.inputs.size() > 1 || !analyze.outDir.empty()) {
                return runAnalyzeMany(analyze);
            }
            analyze.input = analyze.inputs.empty() ? std::string() : analyze.inputs.front();
            return runAnalyze(analyze);
        }
        if (*liveCmd) {
            return runLiveCommand(live);
        }
        if (*reportCmd) {
            return runReportCommand(report);
        }
        return runDemo(demo);
    } catch (const UsageError& e) {
        std::cerr << "korvala: " << e.what() << '\n';
        return 2;
    } catch (const InputError& e) {
        std::cerr << "korvala: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "korvala: error: " << e.what() << '\n';
        return 1;
    }
}
