#pragma once

// Where the analysed audio comes from: a mono float stream at 44100 Hz.

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvala::cli {

/// How decoded audio becomes the engine's stream, shared by the file and the
/// array sources so the same samples give the same stream: chunks of this many
/// frames are mixed down and resampled, and these channel counts and rates are read.
/// Rates outside the range come from broken headers: at 1 Hz one chunk would
/// resample to 180 million samples (minutes and gigabytes).
constexpr std::size_t kConversionChunkFrames = 4096;
constexpr int kMaxInputChannels = 1024; ///< libsndfile's own limit for a valid WAV
constexpr int kMinInputRate = 1000;
constexpr int kMaxInputRate = 768000;

/// What a source knows about itself, for the summary and the progress bar.
struct SourceInfo {
    std::string name;                  ///< the file name, "standard input" or "demo"
    std::string format;                ///< e.g. "WAV float32", "FLAC pcm16", "raw f32le"
    int inputRate = 44100;             ///< the sample rate before conversion (Hz)
    int channels = 1;                  ///< the channel count before the downmix
    bool resampled = false;            ///< converted to 44100 Hz
    std::int64_t expectedSamples = -1; ///< about how many 44100 Hz samples follow; −1 unknown
};

/// A mono 44100 Hz float stream read in chunks. Decoding faults found on the
/// way raise InputError naming the source, never a silently short stream.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    /// Writes up to `capacity` samples; returns how many, 0 at the end of the stream.
    virtual std::size_t read(float* out, std::size_t capacity) = 0;
    virtual const SourceInfo& info() const = 0;
};

} // namespace korvala::cli
