#pragma once

// Beats for lighting software as OS2L: one JSON message over TCP per beat.

#include "tools/korvala/output/FrameSink.h"
#include "tools/korvala/output/TcpSender.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvala::cli {

/// {"evt":"beat","change":false,"pos":P,"bpm":B,"strength":S} with P the beat
/// count, B the tempo and S the strength in 0–1; each number as the shortest
/// text that reads back as the same float (0 for one that is not finite).
std::string os2lBeatMessage(std::uint64_t position, float bpm, float strength);

/// Sends one beat message in each frame where "kor_BeatTime" grew (a beat was
/// counted): pos that count, bpm "kor_BPM", strength "kor_Level". Wants the
/// scalars scalarNames(), in that order. The connection never holds up a
/// frame (see TcpSender).
class Os2lFrameSink : public FrameSink {
public:
    explicit Os2lFrameSink(UdpEndpoint endpoint);
    static std::vector<std::string> scalarNames();

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
    void end() override;

private:
    void warnOnce();

    TcpSender sender_;
    float lastBeats_ = 0.0f;
    std::uint64_t beats_ = 0;
    bool warned_ = false;
};

} // namespace korvala::cli
