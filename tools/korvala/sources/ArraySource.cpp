#include "tools/korvala/sources/ArraySource.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/Resampler.h"
#include "tools/korvala/sources/SampleConversion.h"

#include <algorithm>
#include <cmath>

namespace korvala::cli {

ArraySource::ArraySource(const float* interleaved, std::size_t frames, int channels, int sampleRate,
                         std::string name)
    : interleaved_(interleaved), frames_(frames) {
    info_.name = std::move(name);
    info_.format = "float32 array";
    if (frames == 0) {
        throw InputError(info_.name + ": no audio (0 samples)");
    }
    if (channels < 1 || channels > kMaxInputChannels) {
        throw InputError(info_.name + ": " + std::to_string(channels) + " channels (1 to " +
                         std::to_string(kMaxInputChannels) + " are read)");
    }
    if (sampleRate < kMinInputRate || sampleRate > kMaxInputRate) {
        throw InputError(info_.name + ": unsupported sample rate (" + std::to_string(sampleRate) +
                         " Hz; " + std::to_string(kMinInputRate) + " to " +
                         std::to_string(kMaxInputRate) + " Hz are read)");
    }
    info_.inputRate = sampleRate;
    info_.channels = channels;
    info_.resampled = sampleRate != static_cast<int>(kEngineRate);
    info_.expectedSamples =
        info_.resampled ? static_cast<std::int64_t>(
                              std::llround(static_cast<double>(frames) * kEngineRate / sampleRate))
                        : static_cast<std::int64_t>(frames);
    mono_.resize(kConversionChunkFrames);
    if (info_.resampled) {
        resampler_ = std::make_unique<Resampler>(sampleRate);
    }
}

ArraySource::~ArraySource() = default;

std::size_t ArraySource::convertMore() {
    ready_.clear();
    readyPosition_ = 0;
    while (ready_.empty() && !ended_) {
        const std::size_t got = std::min(kConversionChunkFrames, frames_ - position_);
        if (got == 0) {
            ended_ = true;
            if (resampler_) {
                resampler_->finish(ready_);
            }
            break;
        }
        const std::size_t channels = static_cast<std::size_t>(info_.channels);
        downmixToMono(interleaved_ + position_ * channels, got, info_.channels, mono_.data());
        position_ += got;
        if (resampler_) {
            resampler_->push(mono_.data(), got, ready_);
        } else {
            ready_.assign(mono_.begin(), mono_.begin() + static_cast<std::ptrdiff_t>(got));
        }
    }
    return ready_.size();
}

std::size_t ArraySource::read(float* out, std::size_t capacity) {
    if (readyPosition_ == ready_.size() && convertMore() == 0) {
        return 0;
    }
    const std::size_t n = std::min(capacity, ready_.size() - readyPosition_);
    std::copy_n(ready_.begin() + static_cast<std::ptrdiff_t>(readyPosition_), n, out);
    readyPosition_ += n;
    return n;
}

} // namespace korvala::cli
