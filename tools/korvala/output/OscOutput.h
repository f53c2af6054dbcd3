#pragma once

// Sends each frame's values as OSC over UDP: one float message per scalar at
// PREFIX/NAME, each vector as one message of floats, PREFIX/transition on a
// frame where the engine fired a transition.

#include "tools/korvala/output/FrameSink.h"
#include "tools/korvala/output/UdpSender.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvala::cli {

struct OscSettings {
    std::string prefix = "/korvala"; ///< an OSC address
    bool bundle = true;              ///< one bundle per frame, else one datagram per message
};

class OscFrameSink : public FrameSink {
public:
    /// The largest datagram sent: a bundle that would grow beyond it is sent
    /// as several bundles with the same time tag.
    static constexpr std::size_t kMaxDatagram = 65507;

    OscFrameSink(UdpEndpoint endpoint, OscSettings settings);

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
    void end() override;

private:
    void add(const std::string& address, const float* values, std::size_t count);
    void send();

    UdpSender sender_;
    OscSettings settings_;
    std::vector<std::string> scalarAddresses_;
    std::vector<std::string> vectorAddresses_;
    std::string transitionAddress_;
    std::vector<std::uint8_t> datagram_;
    std::uint64_t sent_ = 0;
};

} // namespace korvala::cli
