#pragma once

// Conversions from decoded audio to the engine's mono float stream.

#include <cstddef>

namespace korvala::cli {

/// Mixes `frames` interleaved frames of `channels` channels down to mono: the
/// channels are summed in float, first to last, and the sum divided by the
/// channel count in float. One channel is copied unchanged.
void downmixToMono(const float* interleaved, std::size_t frames, int channels, float* mono);

/// Decodes `count` 32-bit little-endian IEEE floats from raw bytes.
void decodeFloat32LE(const unsigned char* bytes, std::size_t count, float* out);

} // namespace korvala::cli
