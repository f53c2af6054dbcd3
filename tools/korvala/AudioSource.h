#pragma once

// Where the analysed audio comes from: a mono float stream at 44100 Hz.

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvala::cli {

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
