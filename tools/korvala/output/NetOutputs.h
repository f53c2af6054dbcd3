#pragma once

// The network outputs `analyze` and `live` share: OSC (--osc …) and the LED
// controllers' audio sync (--wled …), registered as options and attached to a
// run's frame fan-out.

#include "tools/korvala/output/FrameFanOut.h"
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
};

/// Registers --osc, --osc-no-bundle, --osc-prefix, --osc-vectors and --wled on `command`.
void addNetOutputOptions(CLI::App* command, NetOutputArgs& args);

/// The outputs the options ask for, with their sockets open.
class NetOutputs {
public:
    /// Checks the options (UsageError) and resolves the addresses (InputError).
    explicit NetOutputs(const NetOutputArgs& args);
    bool any() const { return osc_ || wled_; }
    /// Adds each output to `fanOut`: OSC with the selected scalars (and the
    /// selected vectors with --osc-vectors), the audio sync with what it reads.
    void attach(FrameFanOut& fanOut, const std::vector<std::string>& scalars,
                const std::vector<std::string>& vectors);

private:
    bool oscVectors_ = false;
    std::unique_ptr<OscFrameSink> osc_;
    std::unique_ptr<WledFrameSink> wled_;
};

} // namespace korvala::cli
