#pragma once

#include "tools/korvala/sources/AudioSource.h"

#include <cstdio>
#include <vector>

namespace korvala::cli {

/// Raw 32-bit float little-endian mono samples at 44100 Hz from a stream (stdin),
/// read in fixed chunks so an endless stream runs in constant memory. A stream
/// that ends inside a sample is an InputError; so is an empty one. A stream
/// whose samples are mostly not finite or far beyond full scale (the engine
/// reads non-finite ones as silence) ends with a warning on standard error:
/// it is most likely not raw float audio.
class RawStreamSource : public AudioSource {
public:
    /// `head`: bytes already taken from the stream, read first.
    RawStreamSource(std::FILE* stream, std::string name, const std::string& head = {});
    std::size_t read(float* out, std::size_t capacity) override;
    const SourceInfo& info() const override { return info_; }

private:
    std::FILE* stream_;
    SourceInfo info_;
    std::vector<unsigned char> bytes_;
    std::size_t carried_ = 0; ///< bytes of an incomplete sample kept from the last read
    std::uint64_t total_ = 0;
    std::uint64_t implausible_ = 0; ///< samples not finite or beyond ±1000
    bool warned_ = false;
};

} // namespace korvala::cli
