#pragma once

// The network outputs `analyze` and `live` share: OSC (--osc …), the LED
// controllers' audio sync (--wled …) and beats for lighting software (--os2l …),
// registered as options and attached to a run's frame fan-out.

#include "tools/korvala/output/FrameFanOut.h"
#include "tools/korvala/output/Os2lOutput.h"
#include "tools/korvala/output/OscOutput.h"
#include "tools/korvala/output/WledOutput.h"

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace korvala::cli {

struct NetOutputArgs {
    std::string osc; ///< HOST:PORT, empty for none
    bool oscNoBundle = false;
    std::string oscPrefix = "/korvala";
    bool oscVectors = false;
    bool wled = false;       ///< --wled given
    std::string wledAddress; ///< its HOST[:PORT], empty for the multicast default
    std::string os2l;        ///< HOST:PORT of a TCP receiver of beats, empty for none
};

/// Registers --osc, --osc-no-bundle, --osc-prefix, --osc-vectors, --wled and --os2l on `command`.
void addNetOutputOptions(CLI::App* command, NetOutputArgs& args);

/// The outputs the options ask for, with their sockets open.
class NetOutputs {
public:
    /// Checks the options (UsageError) and resolves the addresses (InputError).
    explicit NetOutputs(const NetOutputArgs& args);
    bool any() const { return osc_ || wled_ || os2l_; }
    /// Adds each output to `fanOut`: OSC with the selected scalars (and the
    /// selected vectors with --osc-vectors), the audio sync and the beats with
    /// what they read.
    void attach(FrameFanOut& fanOut, const std::vector<std::string>& scalars,
                const std::vector<std::string>& vectors);

private:
    bool oscVectors_ = false;
    std::unique_ptr<OscFrameSink> osc_;
    std::unique_ptr<WledFrameSink> wled_;
    std::unique_ptr<Os2lFrameSink> os2l_;
};

} // namespace korvala::cli
