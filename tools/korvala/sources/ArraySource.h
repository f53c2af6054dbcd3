#pragma once

#include "tools/korvala/sources/AudioSource.h"

#include <memory>
#include <vector>

namespace korvala::cli {

class MonoStream;

/// Interleaved float frames already in memory (e.g. a caller's array), turned
/// into the engine's stream exactly as SndfileSource turns a decoded file:
/// chunks of kConversionChunkFrames mixed down to mono, then resampled to 44100 Hz when
/// the rate differs. The samples are read in place and must outlive the source.
class ArraySource : public AudioSource {
public:
    /// Throws InputError for no frames, or a channel count or rate outside the
    /// bounds a file is read with (AudioSource.h).
    ArraySource(const float* interleaved, std::size_t frames, int channels, int sampleRate,
                std::string name);
    ~ArraySource() override;
    std::size_t read(float* out, std::size_t capacity) override;
    const SourceInfo& info() const override { return info_; }

private:
    std::size_t convertMore();

    const float* interleaved_;
    std::size_t frames_;
    std::size_t position_ = 0;
    SourceInfo info_;
    std::unique_ptr<MonoStream> stream_;
    bool ended_ = false;
};

} // namespace korvala::cli
