#pragma once

// The LED controllers' audio-sync packet (version 2, 44 bytes) and the frame
// sink that sends one per frame, built from the engine's display spectrum.

#include "tools/korvala/output/FrameSink.h"
#include "tools/korvala/output/UdpSender.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvala::cli {

/// The packet's fields, in the receivers' units.
struct WledFrame {
    float sampleRaw = 0.0f;    ///< level now, 0 to 255
    float sampleSmooth = 0.0f; ///< smoothed level, 0 to 255
    std::uint8_t peak = 0;     ///< 1 in a frame where a beat was counted
    std::uint8_t counter = 0;  ///< frame index modulo 256
    std::array<std::uint8_t, 16> bands{};
    float magnitude = 0.0f;   ///< the strongest display value of the 16 bands' bins, 0 to 255
    float majorPeakHz = 0.0f; ///< the frequency of that bin
};

constexpr std::size_t kWledPacketSize = 44;
/// The receivers' default destination: a multicast group and port.
constexpr const char* kWledDefaultGroup = "239.0.0.1";
constexpr std::uint16_t kWledDefaultPort = 11988;

/// "00002" and a zero in 6 bytes, 2 zero bytes, sampleRaw, sampleSmooth, peak,
/// counter, the 16 bands, 2 zero bytes, magnitude, majorPeakHz; floats as
/// IEEE 754 single precision, little-endian.
std::array<std::uint8_t, kWledPacketSize> encodeWledPacket(const WledFrame& frame);

/// Band b covers the display-spectrum bins [kWledBandEdges[b], kWledBandEdges[b + 1]):
/// half-octave bands from 43 Hz to 11 kHz (bin k is k × 44100 / 2048 Hz).
extern const std::array<std::size_t, 17> kWledBandEdges;

/// The packet for one frame: the levels ("kor_InputLevel", "kor_Level") times
/// 255, limited to 0–255; each band the largest "kor_Spectrum" value among its
/// bins, limited to 0–1, times 255, rounded half up; the magnitude and major
/// peak from the largest of those bins (the first if several).
WledFrame wledFrameFrom(float inputLevel, float level, bool beat, std::uint64_t frameIndex,
                        const std::vector<float>& spectrum);

/// Sends one packet per frame. Wants the scalars wledScalarNames() and the
/// vector "kor_Spectrum", in that order.
class WledFrameSink : public FrameSink {
public:
    explicit WledFrameSink(UdpEndpoint endpoint) : sender_(std::move(endpoint)) {}
    static std::vector<std::string> scalarNames();
    static std::vector<std::string> vectorNames();

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
    void end() override;

private:
    UdpSender sender_;
    float lastBeats_ = 0.0f;
    std::uint64_t sent_ = 0;
};

} // namespace korvala::cli
