#include "tools/korvala/output/Os2lOutput.h"

#include <charconv>
#include <cmath>
#include <iostream>

namespace korvala::cli {

namespace {
void appendNumber(std::string& out, float value) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, std::isfinite(value) ? value : 0.0f).ptr;
    out.append(text, end);
}
} // namespace

std::string os2lBeatMessage(std::uint64_t position, float bpm, float strength) {
    std::string message = R"({"evt":"beat","change":false,"pos":)";
    message += std::to_string(position);
    message += R"(,"bpm":)";
    appendNumber(message, bpm);
    message += R"(,"strength":)";
    appendNumber(message, strength);
    message += '}';
    return message;
}

Os2lFrameSink::Os2lFrameSink(UdpEndpoint endpoint)
    : sender_(std::move(endpoint), std::chrono::seconds(1), std::chrono::seconds(1)) {}

std::vector<std::string> Os2lFrameSink::scalarNames() {
    return {"kor_BeatTime", "kor_BPM", "kor_Level"};
}

void Os2lFrameSink::warnOnce() {
    if (!warned_ && !sender_.firstError().empty()) {
        warned_ = true;
        std::cerr << "korvala: --os2l " << sender_.endpoint().text << ": " << sender_.firstError()
                  << " (trying again every second, going on)\n";
    }
}

void Os2lFrameSink::begin(const std::vector<std::string>& /*scalarNames*/,
                          const std::vector<std::string>& /*vectorNames*/) {
    lastBeats_ = 0.0f;
    beats_ = 0;
    warnOnce();
}

void Os2lFrameSink::frame(const FrameValues& values) {
    const std::vector<float>& scalars = *values.scalars;
    const float beats = scalars[0];
    if (beats > lastBeats_) {
        sender_.send(os2lBeatMessage(static_cast<std::uint64_t>(beats), scalars[1], scalars[2]));
        ++beats_;
        warnOnce();
    }
    lastBeats_ = beats;
}

void Os2lFrameSink::end() {
    if (sender_.dropped() > 0) {
        std::cerr << "korvala: --os2l " << sender_.endpoint().text << ": " << sender_.dropped()
                  << " of " << beats_ << " beat messages not sent"
                  << (sender_.firstError().empty() ? "" : " (first: " + sender_.firstError() + ")")
                  << "\n";
    }
}

} // namespace korvala::cli
