#pragma once

// The frame side of `korvala live`: a thread that calls LiveEngine::frame at a
// steady rate and hands each frame's values to a sink (a FrameFanOut, so any
// number of outputs can subscribe), and the run around it: start, status line,
// stop on a signal or after a time.

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/output/FrameSink.h"

#include "korvala/live/LiveSnapshot.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Korvala {
class LiveEngine;
}

namespace korvala::cli {

/// Runs frames on its own thread: every 1/F seconds (on a steady clock) one
/// LiveEngine::frame(dt) with dt = the float nearest 1/F (times the periods
/// passed when the thread was late), then the selected values of the snapshot
/// to the sink. The sink and `onFrame` run on that thread.
class LiveFrameLoop {
public:
    LiveFrameLoop(Korvala::LiveEngine& engine, FrameRate fps, std::vector<std::string> scalars,
                  std::vector<std::string> vectors, FrameSink& sink);
    ~LiveFrameLoop();
    LiveFrameLoop(const LiveFrameLoop&) = delete;
    LiveFrameLoop& operator=(const LiveFrameLoop&) = delete;

    /// Called after the sink with every snapshot (other outputs, statistics).
    std::function<void(const Korvala::LiveSnapshot&)> onFrame;

    void start();
    /// Stops after the frame in progress; the sink gets end().
    void stop();

private:
    void run();

public:
    /// The frame thread's largest lateness behind its schedule, in seconds (after stop).
    double lateMaxSeconds() const { return lateMax_; }

private:
    Korvala::LiveEngine& engine_;
    FrameRate fps_;
    std::vector<std::string> scalars_;
    std::vector<std::string> vectors_;
    FrameSink& sink_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    double lateMax_ = 0.0;
};

struct LiveRunOptions {
    FrameRate fps;
    double seconds = 0.0; ///< 0: until SIGINT or SIGTERM
    bool status = false;  ///< the status line on standard error
};

/// What a live run saw, for the summary.
struct LiveResult {
    std::uint64_t frames = 0;
    double secondsAnalysed = 0.0;
    std::uint64_t transitions = 0;
    std::uint64_t droppedFrames = 0;   ///< audio the ring had to drop (frame thread too slow)
    std::uint64_t deviceOverflows = 0; ///< callbacks in which the device lost input
    std::optional<float> finalBpm;
    std::optional<float> finalBpmConfidence;
    std::optional<float> medianBpmLastHalf;
    std::optional<float> medianConfidenceLastHalf;
    bool steadyBeat = false;           ///< SteadyBeatRule (LastHalfMedian.h)
    std::optional<float> finalFeltBpm; ///< with the felt layer only
    std::optional<float> finalFeltConfidence;
    double latencyMeanSeconds = 0.0;  ///< audio waiting in the layer at publication, mean
    double latencyMaxSeconds = 0.0;   ///< and largest, after the first second
    double frameLateMaxSeconds = 0.0; ///< the frame thread's largest lateness
    double wallSeconds = 0.0;
};

class AudioCapture;

/// Starts `capture` into `engine`, runs the frame loop into `sink` with the
/// selected names, draws the status line when asked, and stops cleanly after
/// options.seconds or on SIGINT/SIGTERM (blocked in every thread for the run and
/// taken by the calling thread). The sink has had end() when it returns.
LiveResult runLive(Korvala::LiveEngine& engine, AudioCapture& capture,
                   const LiveRunOptions& options, const std::vector<std::string>& scalars,
                   const std::vector<std::string>& vectors, FrameSink& sink);

} // namespace korvala::cli
