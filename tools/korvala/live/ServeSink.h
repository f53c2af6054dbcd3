#pragma once

// The frame sink behind `--serve`: hands every frame to the live page's server,
// paced to the audio when asked, and applies the controls the page sends.

#include "tools/korvala/live/LiveServer.h"
#include "tools/korvala/output/FrameSink.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace Korvala {
class AudioEngine;
}

namespace korvala::cli {

class ServeSink : public FrameSink {
public:
    /// With `realtime`, frame k returns no earlier than t_k after begin(), so
    /// sinks after this one in a fan-out see the frames at the audio's pace.
    ServeSink(LiveServer& server, Korvala::AudioEngine& engine, bool realtime);

    /// A control from the page; any thread. Applied before the next frame's update.
    void setControl(const std::string& name, float value);

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
    void end() override;

private:
    LiveServer& server_;
    Korvala::AudioEngine& engine_;
    bool realtime_;
    std::chrono::steady_clock::time_point start_;
    LiveFrame live_;
    std::atomic<float> reactivity_;
    std::atomic<float> audioSpeed_;
};

} // namespace korvala::cli
