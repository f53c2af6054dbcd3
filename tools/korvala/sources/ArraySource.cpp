#include "tools/korvala/sources/ArraySource.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/MonoStream.h"
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
    stream_ = std::make_unique<MonoStream>(channels, sampleRate, kConversionChunkFrames);
}

ArraySource::~ArraySource() = default;

std::size_t ArraySource::convertMore() {
    stream_->restart();
    while (stream_->waiting() == 0 && !ended_) {
        const std::size_t got = std::min(kConversionChunkFrames, frames_ - position_);
        if (got == 0) {
            ended_ = true;
            stream_->finish();
            break;
        }
        const std::size_t channels = static_cast<std::size_t>(info_.channels);
        stream_->add(interleaved_ + position_ * channels, got);
        position_ += got;
    }
    return stream_->waiting();
}

std::size_t ArraySource::read(float* out, std::size_t capacity) {
    if (stream_->waiting() == 0 && convertMore() == 0) {
        return 0;
    }
    return stream_->take(out, capacity);
}

} // namespace korvala::cli
