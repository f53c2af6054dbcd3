#pragma once

// The engine for live audio: any sample rate, any block size, one audio thread
// pushing, one frame thread analysing, any number of threads reading.

#include "korvala/engine/AudioEngine.h"
#include "korvala/feel/FeltTempo.h"
#include "korvala/live/LiveSnapshot.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace Korvala {

/// Wraps one AudioEngine for a live host. The audio callback pushes frames of
/// any length at the device's rate and channel count (pushInterleaved,
/// pushPlanar: wait-free, no allocation, no lock, no system call). Once per
/// rendered frame one thread calls frame(dt): it takes everything pushed so
/// far, mixes it to mono and resamples it to 44100 Hz (libsoxr, streaming; a
/// 44100 Hz stream passes untouched), cuts exact 512-sample blocks for
/// processAudio (the remainder waits for the next frame), runs update(dt) and
/// publishes a LiveSnapshot. Any thread reads the latest snapshot with latest().
///
/// Fed 44100 Hz audio, with frame(dt) called after floor((k + 1) × 44100 / F)
/// samples were pushed for frame k, every value equals that of `korvala
/// analyze` at F frames per second, bit for bit, whatever the callback sizes.
class LiveEngine {
public:
    /// `sampleRate` in Hz (8000 to 384000), `channels` 1 to 32, `ringFrames`
    /// the frames the ring holds before the oldest are dropped (0: one second,
    /// at least 4096), `expectedFps` the frame rate the host aims for (sizes the
    /// frame thread's buffers). Throws std::invalid_argument for values out of range.
    LiveEngine(double sampleRate, int channels, std::size_t ringFrames = 0,
               double expectedFps = 60.0);
    ~LiveEngine();
    LiveEngine(const LiveEngine&) = delete;
    LiveEngine& operator=(const LiveEngine&) = delete;

    // ---- audio thread (one producer) ----------------------------------------
    /// Pushes `frames` frames of channels() interleaved samples. Never waits,
    /// allocates, locks or calls the system; a full ring drops its oldest frames
    /// (counted in LiveSnapshot::droppedFrames). Channels are averaged to mono
    /// (summed in float first to last, divided by the count), as `korvala` does.
    void pushInterleaved(const float* samples, std::size_t frames) noexcept;
    /// The same for one pointer per channel.
    void pushPlanar(const float* const* channels, std::size_t frames) noexcept;

    // ---- frame thread (one at a time) ---------------------------------------
    /// Analyses everything pushed so far, advances the components by `dt`
    /// seconds and publishes a snapshot. The transition callback runs in here.
    /// Returns the snapshot just published, for this thread only: it holds
    /// until the next frame() call (other threads use latest()).
    const LiveSnapshot& frame(float dt);
    /// The engine inside, for knobs and reads on the frame thread only (between
    /// frame calls); it must not be used from any other thread. A host that
    /// reads no vector calls engine().setVectorsUpdated(false) before the first
    /// frame: the snapshots' vectors then stay zero and every frame costs less.
    AudioEngine& engine() { return *engine_; }
    /// Installs the transition handler; it runs inside frame() on its thread.
    void setTransitionCallback(void (*callback)(void*), void* context);
    /// Adds the opt-in felt layer (FeltTempo: felt tempo in a range, music
    /// gate, predicted beats) to the engine inside, or replaces it with new
    /// options; every later snapshot carries its values (LiveSnapshot::felt,
    /// feltEnabled 1). Frame thread, between frame calls; allocates, so call it
    /// before the frames start. The audio thread's side is unchanged.
    void enableFelt(const FeltTempo::Options& options);
    /// The felt layer, or nullptr (its music callback runs inside frame()).
    FeltTempo* felt() { return felt_.get(); }

    // ---- any thread ----------------------------------------------------------
    /// Copies the latest complete snapshot to `out`: never torn, never waits for
    /// the frame thread. Returns false (out untouched) before the first frame.
    bool latest(LiveSnapshot& out) const noexcept;
    /// User controls in [0, 1], applied at the start of the next frame.
    void setReactivity(float value) noexcept;
    void setAudioSpeed(float value) noexcept;

    /// The position of a name in LiveSnapshot::scalars (kScalarNames) or among
    /// its vectors (kVectorNames); std::invalid_argument for an unknown name.
    static std::size_t scalarIndex(const std::string& name);
    static std::size_t vectorIndex(const std::string& name);
    /// The position of a felt name in LiveSnapshot::felt; std::invalid_argument
    /// for another name. feltName(i) is the name at i (nullptr past the end).
    static std::size_t feltIndex(const std::string& name);
    static const char* feltName(std::size_t index);

    double sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    std::size_t ringFrames() const;
    /// The latency on paper, in seconds, of a frame that arrives just after a
    /// frame() call: one frame period, plus a block, plus the resampler's delay.
    double nominalLatencySeconds() const;

private:
    struct State;
    double sampleRate_;
    int channels_;
    double expectedFps_;
    std::unique_ptr<AudioEngine> engine_;
    std::unique_ptr<State> state_;
    std::unique_ptr<FeltTempo> felt_; // destroyed before the engine it observes
    std::array<const AudioComponent*, kLiveFeltCount> feltValues_{};
};

} // namespace Korvala
