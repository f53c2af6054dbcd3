#pragma once

#include "tools/korvala/sources/AudioSource.h"

#include <vector>

namespace korvala::cli {

/// A source over samples already in memory (44100 Hz mono), e.g. the demo track.
class MemorySource : public AudioSource {
public:
    MemorySource(std::vector<float> samples, SourceInfo info);
    std::size_t read(float* out, std::size_t capacity) override;
    const SourceInfo& info() const override { return info_; }

private:
    std::vector<float> samples_;
    std::size_t position_ = 0;
    SourceInfo info_;
};

} // namespace korvala::cli
