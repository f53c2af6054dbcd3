#include "tools/korvala/sources/MonoStream.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/sources/Resampler.h"
#include "tools/korvala/sources/SampleConversion.h"

#include <algorithm>

namespace korvala::cli {

MonoStream::MonoStream(int channels, int inputRate, std::size_t chunkFrames)
    : channels_(channels), mono_(chunkFrames) {
    if (inputRate != static_cast<int>(kEngineRate)) {
        resampler_ = std::make_unique<Resampler>(inputRate);
    }
}

MonoStream::~MonoStream() = default;

void MonoStream::restart() {
    ready_.clear();
    readyPosition_ = 0;
}

void MonoStream::add(const float* interleaved, std::size_t frames) {
    downmixToMono(interleaved, frames, channels_, mono_.data());
    if (resampler_) {
        resampler_->push(mono_.data(), frames, ready_);
    } else {
        ready_.insert(ready_.end(), mono_.begin(),
                      mono_.begin() + static_cast<std::ptrdiff_t>(frames));
    }
}

void MonoStream::finish() {
    if (resampler_) {
        resampler_->finish(ready_);
    }
}

std::size_t MonoStream::take(float* out, std::size_t capacity) {
    const std::size_t n = std::min(capacity, waiting());
    std::copy_n(ready_.begin() + static_cast<std::ptrdiff_t>(readyPosition_), n, out);
    readyPosition_ += n;
    return n;
}

} // namespace korvala::cli
