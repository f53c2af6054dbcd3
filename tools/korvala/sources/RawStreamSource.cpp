#include "tools/korvala/sources/RawStreamSource.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/SampleConversion.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace korvala::cli {

namespace {
constexpr std::size_t kChunkSamples = 4096;
// Far beyond any full scale: raw audio is around ±1.
constexpr float kPlausible = 1000.0f;
} // namespace

RawStreamSource::RawStreamSource(std::FILE* stream, std::string name, const std::string& head)
    : stream_(stream), bytes_(kChunkSamples * 4 + head.size()), carried_(head.size()) {
    std::copy(head.begin(), head.end(), bytes_.begin());
    info_.name = std::move(name);
    info_.format = "raw f32le";
}

std::size_t RawStreamSource::read(float* out, std::size_t capacity) {
    const std::size_t want = std::min(capacity, kChunkSamples) * 4;
    for (;;) {
        const std::size_t room = want > carried_ ? want - carried_ : 0;
        const std::size_t got = std::fread(bytes_.data() + carried_, 1, room, stream_) + carried_;
        const std::size_t samples = std::min(got, want) / 4;
        if (samples > 0 || std::feof(stream_) || std::ferror(stream_)) {
            if (std::ferror(stream_)) {
                throw InputError(info_.name + ": read error: " + std::strerror(errno));
            }
            decodeFloat32LE(bytes_.data(), samples, out);
            for (std::size_t i = 0; i < samples; ++i) {
                implausible_ += !(std::fabs(out[i]) <= kPlausible);
            }
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
                if (implausible_ * 2 > total_ && !warned_) {
                    warned_ = true;
                    std::fprintf(stderr,
                                 "korvala: warning: %s: %llu of %llu samples are not finite or "
                                 "beyond +-%g: not raw 32-bit float audio?\n",
                                 info_.name.c_str(), static_cast<unsigned long long>(implausible_),
                                 static_cast<unsigned long long>(total_), kPlausible);
                }
            }
            return samples;
        }
        carried_ = got;
    }
}

} // namespace korvala::cli
