#pragma once

#include "tools/korvala/AudioSource.h"

#include <memory>
#include <vector>

struct sf_private_tag;

namespace korvala::cli {

class Resampler;

/// An audio file decoded by libsndfile (WAV, AIFF, FLAC, Ogg, …): integer PCM is
/// read as float the way libsndfile scales it, channels are mixed down to mono
/// and any other rate is resampled to 44100 Hz. Opening fails with an InputError
/// naming the file and the reason; so does a file that ends before the length
/// its header announces or fails to decode half-way.
class SndfileSource : public AudioSource {
public:
    explicit SndfileSource(const std::string& path);
    ~SndfileSource() override;
    std::size_t read(float* out, std::size_t capacity) override;
    const SourceInfo& info() const override { return info_; }

private:
    std::size_t decodeMore();

    sf_private_tag* file_ = nullptr;
    SourceInfo info_;
    std::int64_t framesAnnounced_ = 0;
    bool lengthKnown_ = true;
    std::int64_t framesRead_ = 0;
    std::vector<float> interleaved_;
    std::vector<float> mono_;
    std::vector<float> ready_; ///< converted samples not yet handed out
    std::size_t readyPosition_ = 0;
    std::unique_ptr<Resampler> resampler_;
    bool ended_ = false;
};

} // namespace korvala::cli
