#pragma once

#include "tools/korvala/sources/AudioSource.h"

#include <memory>
#include <vector>

struct sf_private_tag;

namespace korvala::cli {

class MonoStream;

/// What the first bytes of a stream say it holds: "WAV", "FLAC", "Ogg", "MP3",
/// … or "" for none of the containers the command decodes (then it is raw audio).
std::string containerByMagic(const unsigned char* bytes, std::size_t size);

/// An audio file decoded by libsndfile (WAV, AIFF, FLAC, Ogg, MP3, …): integer
/// PCM is read as float the way libsndfile scales it, channels are mixed down
/// to mono and any other rate is resampled to 44100 Hz. A pipe (`<(cat f.ogg)`)
/// is first copied to an unnamed temporary file, so that it is read exactly
/// like the file it carries. Opening fails with an InputError naming the file
/// and the reason; so does a file that ends before the length its header
/// announces, fails to decode half-way, or carries a second stream after the
/// first (chained Ogg, concatenated MP3). The decoders' own messages never
/// reach the terminal: a reported decoding error becomes the InputError.
class SndfileSource : public AudioSource {
public:
    explicit SndfileSource(const std::string& path);
    /// Takes over `descriptor`, a seekable file positioned at its start.
    SndfileSource(int descriptor, const std::string& name);
    ~SndfileSource() override;
    std::size_t read(float* out, std::size_t capacity) override;
    const SourceInfo& info() const override { return info_; }

private:
    void open(int descriptor);
    void openDescriptor(int descriptor);
    void release();
    std::size_t decodeMore();
    void checkNothingFollows();

    sf_private_tag* file_ = nullptr;
    int descriptor_ = -1;
    std::int64_t fileSize_ = 0;
    int major_ = 0;
    SourceInfo info_;
    std::int64_t framesAnnounced_ = 0;
    bool lengthKnown_ = true;
    bool lengthEstimated_ = false; ///< MP3: the decoder's length is an estimate
    std::int64_t framesRead_ = 0;
    std::vector<float> interleaved_;
    std::unique_ptr<MonoStream> stream_;
    bool ended_ = false;
};

/// A copy of everything `descriptor` yields (after `prefix`, bytes already
/// taken from it) in an unnamed temporary file, positioned at its start.
int copyToTemporaryFile(int descriptor, const std::string& prefix, const std::string& name);

} // namespace korvala::cli
