#pragma once

#include "korvala/components/AudioComponent.h"
#include "korvala/engine/AudioEngine.h"
#include "korvala/feel/MusicGate.h"
#include "korvala/feel/TempoFeel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Korvala {

/// Opt-in layer above one AudioEngine: the felt tempo inside a range, a music
/// gate and beats predicted ahead of the audio. Constructed, it observes the
/// engine (every block and frame) and registers its values as named scalar
/// components beside the engine's own; destroyed, it removes them again. The
/// engine's own values are untouched unless oscillatorsFollow is set.
///
///   felt_BPM         felt tempo in BPM, inside [minBPM, maxBPM]
///   felt_Confidence  0 (no steady beat, or no music) … 1
///   felt_Pulse       the strongest pulse over 40–250 BPM, before the range
///   music_Playing    1 while the gate is open (always 1 without the gate)
///   music_Starts     "music started" events so far
///   music_Stops      "music stopped" events so far
///   beat_Phase       [0, 1): position in the felt beat, latencyMs ahead
///   beat_Predicted   1 on the frame a predicted beat falls in, else 0
///
/// Must outlive nothing: destroy it before its engine. Not thread-safe, like
/// the engine; the callback runs inside processAudio on the caller's thread.
class FeltTempo : public AnalysisObserver {
public:
    struct Options {
        TempoFeel::Settings tempo;
        bool gate = true; ///< use the music gate (else music always plays)
        MusicGate::Settings gateSettings;
        bool oscillatorsFollow = false; ///< tempo oscillators run at the felt tempo
        bool oscillatorsHold = false;   ///< ... and hold still while no music plays
    };
    /// `started` is true for "music started", false for "music stopped".
    using MusicCallback = void (*)(bool started, void* context);

    FeltTempo(AudioEngine& engine, const Options& options);
    ~FeltTempo() override;
    FeltTempo(const FeltTempo&) = delete;
    FeltTempo& operator=(const FeltTempo&) = delete;

    /// The names this layer registers, in the order listed above.
    static const std::vector<std::string>& names();

    void setMusicCallback(MusicCallback callback, void* context);

    float bpm() const { return core_.bpm(); }
    float confidence() const { return playing() ? core_.confidence() : 0.0f; }
    bool playing() const { return !options_.gate || gate_.open(); }
    std::uint64_t starts() const { return gate_.starts(); }
    std::uint64_t stops() const { return gate_.stops(); }
    const TempoFeel& core() const { return core_; }

    void blockAnalysed(const KorAlgosOut& results, std::size_t samples) override;
    void frameStarting(float dt) override;

private:
    class Value;

    AudioEngine& engine_;
    Options options_;
    TempoFeel core_;
    MusicGate gate_;
    MusicCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;

    std::array<float, 8> published_{}; // the values of names(), set each frame
    double lastBeat_ = 0.0;
    bool lastBeatSet_ = false;
    double lastFiredAt_ = -1.0;
    float heldConfidence_ = 0.0f;

    std::array<std::unique_ptr<Value>, 8> values_;
};

} // namespace Korvala
