#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Korvala {

/// The tempo a listener taps along to, from the engine's tempo band levels.
///
/// Each block's 22 band levels become one value of an onset envelope (the
/// rise of every band's log level relative to its own recent loudness). A
/// running autocorrelation of the envelope (about 4 s memory) gives the
/// periodicity strength of every tempo from 40 to 250 BPM. The pulse is the
/// engine tracker's tempo moved to the envelope's nearest peak (without a
/// tracker: the strongest peak, weighted by a broad preference for moderate
/// tempos); its strength above the average is the confidence. The felt
/// tempo is the octave of the pulse inside the host's range that lies nearest
/// the range's (geometric) centre; the periodicity of the envelope and of the
/// bass onsets at each octave decides only between two octaves about equally
/// far from it, and a change of octave must win clearly before it is taken.
/// A comb over the recent envelope
/// locks a beat phase to the felt tempo, from which beats are predicted a
/// latency offset ahead of the audio.
///
/// Sized once in the constructor; addBlock and predict never allocate.
class TempoFeel {
public:
    static constexpr float kSampleRate = 44100.0f;
    static constexpr std::size_t kBands = 22;
    /// The tempos a pulse can be placed at, and the furthest beats are predicted ahead.
    static constexpr float kLowestBPM = 40.0f;
    static constexpr float kHighestBPM = 250.0f;
    static constexpr float kLongestLatencyMs = 1000.0f;

    struct Settings {
        float minBPM = 80.0f;   ///< lower end of the felt tempo's range
        float maxBPM = 160.0f;  ///< upper end (above minBPM; an octave or more is best)
        float latencyMs = 0.0f; ///< how far ahead of the audio beats are predicted

        /// kLowestBPM <= minBPM < maxBPM <= kHighestBPM and
        /// 0 <= latencyMs <= kLongestLatencyMs (NaN is neither).
        bool valid() const {
            return minBPM >= kLowestBPM && minBPM < maxBPM && maxBPM <= kHighestBPM &&
                   latencyMs >= 0.0f && latencyMs <= kLongestLatencyMs;
        }
    };

    /// Throws std::invalid_argument unless `settings.valid()`.
    explicit TempoFeel(const Settings& settings);

    /// One analysed block of `samples` samples: its tempo band levels (kBands
    /// values, the engine's "logBandedFFTVUs"), whether music is playing and
    /// the engine tracker's tempo (0 or NaN: none; the envelope's own
    /// strongest pulse is used instead).
    void addBlock(const float* bandLevels, std::size_t samples, bool playing,
                  float trackerBPM = 0.0f) noexcept;

    /// Forgets the music heard so far (a new piece starts).
    void restart() noexcept;

    /// Felt tempo in BPM inside the range (the range's centre until a beat is found).
    float bpm() const { return feltBPM_; }
    /// How clearly the envelope repeats at the felt tempo: 0 (no steady beat,
    /// silence, noise) to 1.
    float confidence() const { return confidence_; }
    /// The strongest pulse over 40–250 BPM, before the range.
    float pulseBPM() const { return pulseBPM_; }

    /// Beat position `latencyMs` ahead of the audio heard so far: the phase in
    /// [0, 1) of the current felt beat, and the running beat number.
    struct Prediction {
        float phase = 0.0f;
        double beat = 0.0;
    };
    Prediction predict() const noexcept;

    /// Seconds of audio added so far.
    double audioSeconds() const { return static_cast<double>(samples_) / kSampleRate; }
    const Settings& settings() const { return settings_; }

    /// Delay from a sound's onset to the envelope frame that marks it, in
    /// samples: the 2048-sample window must take in enough of the onset for
    /// its levels to rise. Measured with generated clicks (about 16 ms).
    static constexpr float kOnsetDelaySamples = 700.0f;

private:
    static constexpr std::size_t kHistory = 1024; // envelope frames kept (about 12 s)
    static constexpr std::size_t kLags = 272;     // autocorrelation lags 0 … 271
    static constexpr std::size_t kGrid = 128;     // tempo grid points, 40–250 BPM
    static constexpr std::size_t kBassBands = 6;  // bands reaching at most 192 Hz

    float envelope(const float* levels, float* bass) noexcept;
    void evaluateTempo() noexcept;
    void trackPhase() noexcept;
    float normalised(const std::array<float, kLags>& acf, float mean, float lag) const noexcept;
    float salience(float lag) const noexcept;
    float score(float bpm) const noexcept;
    float envelopeAt(double framesBack) const noexcept;

    Settings settings_;
    float hop_ = 512.0f;     // samples per envelope frame
    float frameRate_ = 0.0f; // envelope frames per second
    float acfDecay_ = 0.0f;  // per-frame memory of the autocorrelation
    float refRate_ = 0.0f;   // per-frame adaptation of the band references
    float meanRate_ = 0.0f;  // per-frame adaptation of the local envelope mean

    std::array<float, kBands> reference_{};
    std::array<float, kBands> previousLog_{};
    bool primed_ = false;
    float localMean_ = 0.0f;
    float bassLocalMean_ = 0.0f;

    // Envelope rings, written twice so any run of kLags frames is contiguous.
    std::vector<float> ring_;
    std::vector<float> bassRing_;
    std::size_t head_ = 0; // next write position in [0, kHistory)
    std::uint64_t frames_ = 0;
    std::uint64_t samples_ = 0;
    std::uint64_t framesSinceRestart_ = 0;

    std::array<float, kLags> acf_{}; // reversed: acf_[kLags-1-k] holds lag k
    std::array<float, kLags> bassAcf_{};
    float acfWeight_ = 0.0f;
    float acfMean_ = 0.0f;
    float bassAcfMean_ = 0.0f;

    std::array<float, kGrid> gridBPM_{};
    std::array<float, kGrid> gridSalience_{};

    float feltBPM_;
    float confidence_ = 0.0f;
    float pulseBPM_ = 0.0f;
    float trackerBPM_ = 0.0f;
    bool feltFound_ = false;
    float awaySeconds_ = 0.0f; // how long the pulse has been off the felt beat's octaves
    bool playing_ = false;

    // Beat phase: time in seconds of one beat the phase lock holds.
    double beatReference_ = 0.0;
    double beatNumberBase_ = 0.0;
    bool phaseLocked_ = false;
};

} // namespace Korvala
