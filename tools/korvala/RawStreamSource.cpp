#include "tools/korvala/RawStreamSource.h"

#include "tools/korvala/SampleConversion.h"
#include "tools/korvala/ToolError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvala::cli {

namespace {
constexpr std::size_t kChunkSamples = 4096;
}

RawStreamSource::RawStreamSource(std::FILE* stream, std::string name)
    : stream_(stream), bytes_(kChunkSamples * 4) {
    info_.name = std::move(name);
    info_.format = "raw f32le";
}

std::size_t RawStreamSource::read(float* out, std::size_t capacity) {
    const std::size_t want = std::min(capacity, kChunkSamples) * 4;
    for (;;) {
        const std::size_t got =
            std::fread(bytes_.data() + carried_, 1, want - carried_, stream_) + carried_;
        const std::size_t samples = got / 4;
        if (samples > 0 || std::feof(stream_) || std::ferror(stream_)) {
            if (std::ferror(stream_)) {
                throw InputError(info_.name + ": read error: " + std::strerror(errno));
            }
            decodeFloat32LE(bytes_.data(), samples, out);
            carried_ = got - samples * 4;
            std::memmove(bytes_.data(), bytes_.data() + samples * 4, carried_);
            total_ += samples;
            if (samples == 0) {
                if (carried_ != 0) {
                    throw InputError(info_.name + ": the stream ends inside a sample (" +
                                     std::to_string(carried_) +
                                     " stray bytes); expected 32-bit float samples");
                }
                if (total_ == 0) {
                    throw InputError(info_.name + ": no audio (the stream is empty)");
                }
            }
            return samples;
        }
        carried_ = got;
    }
}

} // namespace korvala::cli
