#pragma once

// Options shared by the subcommands that take many inputs.

#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/FileBatch.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace korvala::cli {

struct HostArgs {
    std::string fps = "60";
    double reactivity = 0.5;
    double audioSpeed = 0.5;
};

struct ManyArgs {
    std::vector<std::string> inputs;
    std::string outDir;
    unsigned jobs = 0; ///< 0: one per core
    int progress = 0;
};

/// --fps, --reactivity, --audio-speed.
void addHostArgs(CLI::App* cmd, HostArgs& args);
/// The run's options from them; UsageError when out of range.
AnalysisOptions hostOptions(const HostArgs& args);
/// --jobs and --progress/--no-progress (progress over files).
void addJobArgs(CLI::App* cmd, ManyArgs& args);
BatchOptions batchOptions(const ManyArgs& args);
/// `text` as one CSV field (quoted when it holds a comma, quote or newline).
std::string csvField(const std::string& text);
/// UsageError unless `dir` is an existing directory.
void checkOutDir(const std::string& dir);

} // namespace korvala::cli
