#pragma once

// The last steps every source shares: chunks of interleaved frames mixed down
// to mono, resampled to 44100 Hz when the input rate differs, and handed out
// in reads of any size.

#include <cstddef>
#include <memory>
#include <vector>

namespace korvala::cli {

class Resampler;

class MonoStream {
public:
    /// Chunks of at most `chunkFrames` frames of `channels` channels at `inputRate` Hz.
    MonoStream(int channels, int inputRate, std::size_t chunkFrames);
    ~MonoStream();
    MonoStream(const MonoStream&) = delete;
    MonoStream& operator=(const MonoStream&) = delete;

    /// Drops what was handed out; call before converting more.
    void restart();
    /// Converts one chunk of `frames` interleaved frames; its samples become readable.
    void add(const float* interleaved, std::size_t frames);
    /// The input has ended: the resampler's tail becomes readable.
    void finish();
    /// Converted samples not yet handed out.
    std::size_t waiting() const { return ready_.size() - readyPosition_; }
    /// Copies up to `capacity` waiting samples to `out`; returns how many.
    std::size_t take(float* out, std::size_t capacity);

private:
    int channels_;
    std::vector<float> mono_;
    std::vector<float> ready_;
    std::size_t readyPosition_ = 0;
    std::unique_ptr<Resampler> resampler_;
};

} // namespace korvala::cli
