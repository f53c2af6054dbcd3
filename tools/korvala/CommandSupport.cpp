#include "tools/korvala/CommandSupport.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/UserMessages.h"

#include <sys/stat.h>

namespace korvala::cli {

void addHostArgs(CLI::App* cmd, HostArgs& args) {
    cmd->add_option("--fps", args.fps,
                    "Frames per second F: a decimal (60, 29.97) or a ratio (30000/1001), "
                    "0 < F <= 1000")
        ->capture_default_str();
    cmd->add_option("--reactivity", args.reactivity, "Reactivity control, 0 to 1")
        ->check(CLI::Number)
        ->capture_default_str();
    cmd->add_option("--audio-speed", args.audioSpeed, "Audio-speed control, 0 to 1")
        ->check(CLI::Number)
        ->capture_default_str();
}

AnalysisOptions hostOptions(const HostArgs& args) {
    AnalysisOptions options;
    try {
        options.fps = parseFrameRate(args.fps);
    } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--fps: ") + e.what());
    }
    for (const auto& [option, value] : {std::pair{"--reactivity", args.reactivity},
                                        std::pair{"--audio-speed", args.audioSpeed}}) {
        if (!(value >= 0.0 && value <= 1.0)) {
            throw UsageError(std::string(option) + ": " + asWritten(value) + " is outside 0 to 1");
        }
    }
    options.reactivity = static_cast<float>(args.reactivity);
    options.audioSpeed = static_cast<float>(args.audioSpeed);
    return options;
}

void addJobArgs(CLI::App* cmd, ManyArgs& args) {
    cmd->add_option("-j,--jobs", args.jobs,
                    "Files analysed at once (default: the number of cores, here " +
                        std::to_string(availableCores()) + ")")
        ->check(CLI::Range(1U, 1024U));
    cmd->add_flag("--progress,!--no-progress", args.progress,
                  "Force the progress bar over files on or off (default: on when standard "
                  "error is a terminal)");
}

BatchOptions batchOptions(const ManyArgs& args) {
    BatchOptions options;
    options.jobs = args.jobs > 0 ? args.jobs : availableCores();
    options.progress = args.progress;
    return options;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

void checkOutDir(const std::string& dir) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw UsageError("--out-dir " + dir + ": not an existing directory");
    }
}

} // namespace korvala::cli
