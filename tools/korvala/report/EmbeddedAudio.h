#pragma once

// A compressed copy of the analysed audio for the report page to play: the
// mono 44100 Hz samples the engine hears, encoded as Ogg Vorbis in memory
// while the analysis reads them.

#include <cstddef>
#include <string>

namespace korvala::cli {

class EmbeddedAudio {
public:
    /// Vorbis quality (0 to 1): about 60 kbit/s for mono music.
    static constexpr double kQuality = 0.2;
    /// Stops keeping the encoding once it grows past `capBytes`.
    explicit EmbeddedAudio(std::size_t capBytes);
    ~EmbeddedAudio();
    EmbeddedAudio(const EmbeddedAudio&) = delete;
    EmbeddedAudio& operator=(const EmbeddedAudio&) = delete;

    void add(const float* samples, std::size_t count);
    /// Ends the stream; afterwards bytes() holds the whole Ogg file.
    void finish();

    /// The encoded file; empty if over the cap or if encoding failed.
    const std::string& bytes() const { return bytes_; }
    bool overCap() const { return overCap_; }
    /// Why there is no audio (empty when there is).
    const std::string& problem() const { return problem_; }

    // The libsndfile virtual-I/O callbacks work on these.
    std::string bytes_;
    long long position_ = 0;

private:
    void stop(const std::string& why);

    std::size_t cap_;
    void* file_ = nullptr; ///< SNDFILE*
    bool overCap_ = false;
    std::string problem_;
};

} // namespace korvala::cli
