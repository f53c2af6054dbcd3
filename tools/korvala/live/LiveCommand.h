#pragma once

// `korvala live`: capture from a device, analyse in real time, send every
// frame to the outputs `analyze` has (rows, OSC, LED sync).

#include "tools/korvala/CommandSupport.h"
#include "tools/korvala/FeltOptions.h"
#include "tools/korvala/live/ServeRun.h"
#include "tools/korvala/output/NetOutputs.h"

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace korvala::cli {

struct LiveArgs {
    bool listDevices = false;
    std::string device;
    bool monitor = false;
    unsigned rate = 0;
    unsigned channels = 2;
    unsigned buffer = 0; ///< device buffer in frames; 0: about 20 ms
    HostArgs host;
    double seconds = 0.0;
    std::string out;
    std::string format; ///< csv, jsonl or none; empty: csv off a terminal, none on one
    std::vector<std::string> only;
    bool vectors = false;
    std::string summary = "text";
    bool quiet = false;
    int status = 0; ///< 1 forced on, -1 off, 0 on when standard error is a terminal
    NetOutputArgs net;
    ServeOption serve; ///< --serve [ADDR:]PORT of the live page
    FeltArgs felt;
};

/// Registers the subcommand and its options on `app`.
CLI::App* addLiveCommand(CLI::App& app, LiveArgs& args);
/// Runs it; UsageError and InputError propagate with the one-line reason.
int runLiveCommand(const LiveArgs& args);

} // namespace korvala::cli
