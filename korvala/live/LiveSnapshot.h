#pragma once

// What the live layer publishes after every frame: every value of the engine
// in one plain struct, copied out whole by any reader thread.

#include "korvala/engine/ComponentTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Korvala {

/// Where each vector starts in LiveSnapshot::vectorData (kVectorNames order).
inline constexpr std::array<std::size_t, kVectorCount> kLiveVectorOffsets = [] {
    std::array<std::size_t, kVectorCount> offsets{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < kVectorCount; ++i) {
        offsets[i] = at;
        at += kVectorLengths[i];
    }
    return offsets;
}();
inline constexpr std::size_t kLiveVectorFloats =
    kLiveVectorOffsets[kVectorCount - 1] + kVectorLengths[kVectorCount - 1];
/// The values the opt-in felt layer adds (LiveEngine::enableFelt), in the order
/// of LiveEngine::feltName: felt_BPM … beat_Predicted.
inline constexpr std::size_t kLiveFeltCount = 8;

/// The engine's state after one LiveEngine::frame. Trivially copyable; a reader
/// gets it whole from LiveEngine::latest (never a mix of two frames).
struct LiveSnapshot {
    std::uint64_t frames = 0;        ///< frame() calls so far (1 for the first snapshot)
    std::uint64_t blocks = 0;        ///< 512-sample blocks at 44100 Hz analysed so far
    std::uint64_t transitions = 0;   ///< transition callbacks fired so far
    std::uint64_t inputFrames = 0;   ///< frames taken from the ring (input rate)
    std::uint64_t droppedFrames = 0; ///< frames dropped because the ring was full
    /// Σ over every frame that left the ring, analysed or dropped, of
    /// (bits of its mono sample + 1) × (2 × position + 1), modulo 2^64: the
    /// producer can form the same sum over what it pushed to check the transport.
    std::uint64_t transportChecksum = 0;
    double secondsAnalysed = 0.0; ///< blocks × 512 / 44100
    /// Audio pushed but not yet reflected: frames in the ring, the resampler's
    /// delay and the samples waiting for a whole block, in seconds (at publication).
    double latencySeconds = 0.0;
    float dt = 0.0f; ///< the frame time handed to this frame's update
    /// 1 when the felt layer ran for this frame (LiveEngine::enableFelt), else 0.
    std::uint32_t feltEnabled = 0;

    /// The scalars in catalogue order: scalars[i] is kScalarNames[i]
    /// (LiveEngine::scalarIndex finds i once).
    float scalars[kScalarCount] = {};
    /// The vectors back to back in catalogue order (see vector()).
    float vectorData[kLiveVectorFloats] = {};
    /// The felt layer's values (LiveEngine::feltIndex finds a name's place);
    /// all 0 while feltEnabled is 0.
    float felt[kLiveFeltCount] = {};

    /// Equal to `frames` in every snapshot a reader gets: written last, so a
    /// copy mixed from two frames would show it (the layer never hands one out).
    std::uint64_t seal = 0;

    /// The vector kVectorNames[index]: kVectorLengths[index] values.
    const float* vector(std::size_t index) const { return vectorData + kLiveVectorOffsets[index]; }
    float* vector(std::size_t index) { return vectorData + kLiveVectorOffsets[index]; }
};

static_assert(std::is_trivially_copyable<LiveSnapshot>::value,
              "readers copy snapshots as plain bytes");
static_assert(sizeof(LiveSnapshot) % sizeof(std::uint64_t) == 0,
              "snapshots are published word by word");

} // namespace Korvala
