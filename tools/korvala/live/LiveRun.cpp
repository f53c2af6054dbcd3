#include "tools/korvala/live/LiveRun.h"

#include "tools/korvala/LastHalfMedian.h"
#include "tools/korvala/live/AudioCapture.h"

#include "korvala/live/LiveEngine.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>

#include <cstdio>
#include <memory>
#include <pthread.h>
#include <signal.h>

namespace korvala::cli {

namespace {
using Clock = std::chrono::steady_clock;

// SIGINT and SIGTERM, blocked in every thread of a run (the device's and the
// frame thread inherit the mask) and taken by the main thread with
// sigtimedwait: it sleeps until a signal, the end or the next status line.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~StopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// Waits at most `seconds`; true when a stop signal came.
    bool wait(double seconds) const {
        const double whole = std::floor(seconds);
        timespec timeout{static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
        return sigtimedwait(&set_, nullptr, &timeout) > 0;
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
};

// One status line: level meter, tempo, transitions, dropped audio, latency.
void drawStatus(const Korvala::LiveSnapshot& snapshot, const AudioCapture& capture,
                std::size_t level, std::size_t bpm, std::size_t confidence) {
    const int bars = static_cast<int>(
        std::lround(std::fmin(std::fmax(snapshot.scalars[level], 0.0f), 1.0f) * 20.0f));
    std::string meter(static_cast<std::size_t>(bars), '#');
    meter.resize(20, ' ');
    std::fprintf(stderr,
                 "\r[%s] %6.1f BPM (%.2f)  transitions %llu  dropped %llu  latency %3.0f ms "
                 "(+ device %.0f ms)  ",
                 meter.c_str(), snapshot.scalars[bpm], snapshot.scalars[confidence],
                 static_cast<unsigned long long>(snapshot.transitions),
                 static_cast<unsigned long long>(snapshot.droppedFrames + capture.overflows()),
                 snapshot.latencySeconds * 1000.0, capture.deviceLatencySeconds() * 1000.0);
    std::fflush(stderr);
}
} // namespace

LiveFrameLoop::LiveFrameLoop(Korvala::LiveEngine& engine, FrameRate fps,
                             std::vector<std::string> scalars, std::vector<std::string> vectors,
                             FrameSink& sink)
    : engine_(engine), fps_(fps), scalars_(std::move(scalars)), vectors_(std::move(vectors)),
      sink_(sink) {}

LiveFrameLoop::~LiveFrameLoop() {
    stop();
}

void LiveFrameLoop::start() {
    stopping_ = false;
    sink_.begin(scalars_, vectors_);
    thread_ = std::thread([this] { run(); });
}

void LiveFrameLoop::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        thread_.join();
        sink_.end();
    }
}

void LiveFrameLoop::run() {
    std::vector<std::size_t> scalarIndex;
    std::vector<std::size_t> vectorIndex;
    // A felt name's index is counted on from the scalars' (kScalarCount + its place).
    const auto isFelt = [](const std::string& name) {
        for (std::size_t i = 0; i < Korvala::kLiveFeltCount; ++i) {
            if (name == Korvala::LiveEngine::feltName(i)) {
                return true;
            }
        }
        return false;
    };
    for (const std::string& name : scalars_) {
        scalarIndex.push_back(isFelt(name)
                                  ? Korvala::kScalarCount + Korvala::LiveEngine::feltIndex(name)
                                  : Korvala::LiveEngine::scalarIndex(name));
    }
    for (const std::string& name : vectors_) {
        vectorIndex.push_back(Korvala::LiveEngine::vectorIndex(name));
    }
    std::vector<float> scalarValues(scalars_.size());
    std::vector<std::vector<float>> vectorValues(vectors_.size());
    for (std::size_t i = 0; i < vectors_.size(); ++i) {
        vectorValues[i].resize(Korvala::kVectorLengths[vectorIndex[i]]);
    }
    FrameValues values;
    values.scalars = &scalarValues;
    values.vectors = &vectorValues;

    const double periodSeconds = static_cast<double>(fps_.den) / static_cast<double>(fps_.num);
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(periodSeconds));
    const float dt = static_cast<float>(periodSeconds);
    auto due = Clock::now() + period;
    std::uint64_t index = 0;
    std::uint64_t transitions = 0;
    while (!stopping_.load()) {
        std::this_thread::sleep_until(due);
        // A late thread (a stalled machine) catches up in one frame with a
        // longer dt instead of a burst of frames.
        const auto now = Clock::now();
        const double late = std::chrono::duration<double>(now - due).count();
        lateMax_ = std::fmax(lateMax_, late);
        const auto periods = 1 + static_cast<std::int64_t>(late / periodSeconds);
        due += period * periods;
        // The engine's own copy of what it published: no second copy of the vectors.
        const Korvala::LiveSnapshot& snapshot =
            engine_.frame(periods == 1 ? dt : static_cast<float>(periodSeconds * periods));
        for (std::size_t i = 0; i < scalarIndex.size(); ++i) {
            const std::size_t at = scalarIndex[i];
            scalarValues[i] = at < Korvala::kScalarCount
                                  ? snapshot.scalars[at]
                                  : snapshot.felt[at - Korvala::kScalarCount];
        }
        for (std::size_t i = 0; i < vectorIndex.size(); ++i) {
            const float* from = snapshot.vector(vectorIndex[i]);
            std::copy(from, from + vectorValues[i].size(), vectorValues[i].begin());
        }
        values.index = index++;
        values.time = snapshot.secondsAnalysed;
        values.blocks = snapshot.blocks;
        values.transition = snapshot.transitions != transitions;
        transitions = snapshot.transitions;
        sink_.frame(values);
        sink_.flush();
        if (onFrame) {
            onFrame(snapshot);
        }
    }
}

LiveResult runLive(Korvala::LiveEngine& engine, AudioCapture& capture,
                   const LiveRunOptions& options, const std::vector<std::string>& scalars,
                   const std::vector<std::string>& vectors, FrameSink& sink) {
    const auto start = Clock::now();
    const StopSignals signals;
    const std::size_t level = Korvala::LiveEngine::scalarIndex("kor_Level");
    const std::size_t bpm = Korvala::LiveEngine::scalarIndex("kor_BPM");
    const std::size_t confidence = Korvala::LiveEngine::scalarIndex("kor_BPMConfidence");
    const std::size_t beats = Korvala::LiveEngine::scalarIndex("kor_BeatTime");

    LiveResult result;
    LastHalfMedian bpmMedian;
    SteadyBeatRule steadyRule;
    double latencySum = 0.0;
    std::uint64_t latencyCount = 0;
    LiveFrameLoop loop(engine, options.fps, scalars, vectors, sink);
    loop.onFrame = [&](const Korvala::LiveSnapshot& snapshot) {
        bpmMedian.add(snapshot.scalars[bpm]);
        steadyRule.add(snapshot.scalars[confidence], snapshot.scalars[beats]);
        // The first second holds the start-up: the resampler filling, the
        // device's first bursts.
        if (snapshot.secondsAnalysed >= 1.0) {
            latencySum += snapshot.latencySeconds;
            ++latencyCount;
            result.latencyMaxSeconds = std::fmax(result.latencyMaxSeconds, snapshot.latencySeconds);
        }
    };
    capture.start(engine);
    loop.start();
    auto snapshot = std::make_unique<Korvala::LiveSnapshot>();
    constexpr double kStatusSeconds = 0.25;
    for (;;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double left = options.seconds > 0.0 ? options.seconds - elapsed : 3600.0;
        if (left <= 0.0) {
            break;
        }
        if (signals.wait(options.status ? std::fmin(left, kStatusSeconds) : left)) {
            break;
        }
        if (options.status && engine.latest(*snapshot)) {
            drawStatus(*snapshot, capture, level, bpm, confidence);
        }
    }
    capture.stop();
    loop.stop();
    if (options.status) {
        std::fputs("\n", stderr);
    }

    if (engine.latest(*snapshot)) {
        result.frames = snapshot->frames;
        result.secondsAnalysed = snapshot->secondsAnalysed;
        result.transitions = snapshot->transitions;
        result.droppedFrames = snapshot->droppedFrames;
        result.finalBpm = snapshot->scalars[bpm];
        result.finalBpmConfidence = snapshot->scalars[confidence];
        result.medianBpmLastHalf = bpmMedian.median();
        result.medianConfidenceLastHalf = steadyRule.medianConfidence();
        result.steadyBeat = steadyRule.steady();
        if (snapshot->feltEnabled != 0) {
            result.finalFeltBpm = snapshot->felt[Korvala::LiveEngine::feltIndex("felt_BPM")];
            result.finalFeltConfidence =
                snapshot->felt[Korvala::LiveEngine::feltIndex("felt_Confidence")];
        }
    }
    result.deviceOverflows = capture.overflows();
    result.latencyMeanSeconds = latencyCount > 0 ? latencySum / latencyCount : 0.0;
    result.frameLateMaxSeconds = loop.lateMaxSeconds();
    result.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

} // namespace korvala::cli
