#include "tools/korvala/sources/MemorySource.h"

#include <algorithm>

namespace korvala::cli {

MemorySource::MemorySource(std::vector<float> samples, SourceInfo info)
    : samples_(std::move(samples)), info_(std::move(info)) {
    info_.expectedSamples = static_cast<std::int64_t>(samples_.size());
}

std::size_t MemorySource::read(float* out, std::size_t capacity) {
    const std::size_t n = std::min(capacity, samples_.size() - position_);
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ += n;
    return n;
}

} // namespace korvala::cli
