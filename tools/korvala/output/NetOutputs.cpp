#include "tools/korvala/output/NetOutputs.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/output/OscEncoder.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>

namespace korvala::cli {

void addNetOutputOptions(CLI::App* command, NetOutputArgs& args) {
    command->add_option("--osc", args.osc,
                        "Send every frame as OSC over UDP to HOST:PORT (one bundle per frame)");
    command->add_flag("--osc-no-bundle", args.oscNoBundle,
                      "Send each OSC message as its own datagram instead of one bundle per frame");
    command->add_option("--osc-prefix", args.oscPrefix, "OSC address prefix")
        ->capture_default_str();
    command->add_flag("--osc-vectors", args.oscVectors,
                      "Also send the vector components over OSC, one message of floats each");
    command
        ->add_option("--wled", args.wledAddress,
                     "Send LED audio-sync packets (version 2) to HOST[:PORT]; alone, to the "
                     "multicast group 239.0.0.1:11988 (write --wled=HOST before an input file)")
        ->expected(0, 1);
    command->add_option("--os2l", args.os2l,
                        "Send each beat as an OS2L message (JSON over TCP) to HOST:PORT; "
                        "reconnects every second while the receiver is away");
    command->parse_complete_callback(
        [command, &args]() { args.wled = command->count("--wled") > 0; });
}

NetOutputs::NetOutputs(const NetOutputArgs& args) : oscVectors_(args.oscVectors) {
    const bool oscOnly = args.oscNoBundle || args.oscVectors || args.oscPrefix != "/korvala";
    if (args.osc.empty() && oscOnly) {
        throw UsageError("--osc-no-bundle, --osc-prefix and --osc-vectors need --osc HOST:PORT");
    }
    if (!isOscAddress(args.oscPrefix)) {
        throw UsageError("--osc-prefix: '" + args.oscPrefix +
                         "' is not an OSC address (/name/... of printable characters without "
                         "space # * , ? [ ] { })");
    }
    struct stat status {};
    if (args.wled && !args.wledAddress.empty() && ::stat(args.wledAddress.c_str(), &status) == 0) {
        throw UsageError("--wled: '" + args.wledAddress +
                         "' is a file, not an address; write --wled=HOST[:PORT], or --wled after "
                         "the input");
    }
    if (!args.osc.empty()) {
        osc_ = std::make_unique<OscFrameSink>(resolveUdpEndpoint(args.osc, 0, "--osc"),
                                              OscSettings{args.oscPrefix, !args.oscNoBundle});
    }
    if (args.wled) {
        const std::string address =
            args.wledAddress.empty() ? std::string(kWledDefaultGroup) : args.wledAddress;
        wled_ = std::make_unique<WledFrameSink>(
            resolveUdpEndpoint(address, kWledDefaultPort, "--wled"));
    }
    if (!args.os2l.empty()) {
        os2l_ = std::make_unique<Os2lFrameSink>(resolveUdpEndpoint(args.os2l, 0, "--os2l"));
    }
}

void NetOutputs::attach(FrameFanOut& fanOut, const std::vector<std::string>& scalars,
                        const std::vector<std::string>& vectors) {
    if (osc_) {
        fanOut.add(*osc_, scalars, oscVectors_ ? vectors : std::vector<std::string>{});
    }
    if (wled_) {
        fanOut.add(*wled_, WledFrameSink::scalarNames(), WledFrameSink::vectorNames());
    }
    if (os2l_) {
        fanOut.add(*os2l_, Os2lFrameSink::scalarNames(), {});
    }
}

} // namespace korvala::cli
