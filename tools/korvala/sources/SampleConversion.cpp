#include "tools/korvala/sources/SampleConversion.h"

#include <cstdint>
#include <cstring>

namespace korvala::cli {

void downmixToMono(const float* interleaved, std::size_t frames, int channels, float* mono) {
    if (channels == 1) {
        std::memcpy(mono, interleaved, frames * sizeof(float));
        return;
    }
    const float count = static_cast<float>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const float* frame = interleaved + i * static_cast<std::size_t>(channels);
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) {
            sum += frame[c];
        }
        mono[i] = sum / count;
    }
}

void decodeFloat32LE(const unsigned char* bytes, std::size_t count, float* out) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* b = bytes + 4 * i;
        const std::uint32_t bits = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                   (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
        std::memcpy(out + i, &bits, sizeof(float));
    }
}

} // namespace korvala::cli
