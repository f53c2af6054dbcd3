#include "tools/korvala/output/WledOutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvala::cli {

const std::array<std::size_t, 17> kWledBandEdges = {2,  3,  4,  6,   8,   11,  16,  23, 32,
                                                    45, 64, 91, 128, 181, 256, 362, 512};

namespace {
constexpr float kBinHz = 44100.0f / 2048.0f;

void putFloat(std::uint8_t* at, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

float toByteScale(float value) {
    return std::clamp(value * 255.0f, 0.0f, 255.0f);
}
} // namespace

std::array<std::uint8_t, kWledPacketSize> encodeWledPacket(const WledFrame& frame) {
    std::array<std::uint8_t, kWledPacketSize> packet{};
    std::memcpy(packet.data(), "00002", 5);
    putFloat(&packet[8], frame.sampleRaw);
    putFloat(&packet[12], frame.sampleSmooth);
    packet[16] = frame.peak;
    packet[17] = frame.counter;
    std::copy(frame.bands.begin(), frame.bands.end(), packet.begin() + 18);
    putFloat(&packet[36], frame.magnitude);
    putFloat(&packet[40], frame.majorPeakHz);
    return packet;
}

WledFrame wledFrameFrom(float inputLevel, float level, bool beat, std::uint64_t frameIndex,
                        const std::vector<float>& spectrum) {
    WledFrame frame;
    // NaN compares false everywhere: it leaves a level at 0 and a bin unpicked.
    frame.sampleRaw = toByteScale(std::isnan(inputLevel) ? 0.0f : inputLevel);
    frame.sampleSmooth = toByteScale(std::isnan(level) ? 0.0f : level);
    frame.peak = beat ? 1 : 0;
    frame.counter = static_cast<std::uint8_t>(frameIndex & 0xff);
    float strongest = 0.0f;
    std::size_t strongestBin = kWledBandEdges.front();
    for (std::size_t b = 0; b < 16; ++b) {
        float largest = 0.0f;
        for (std::size_t k = kWledBandEdges[b]; k < kWledBandEdges[b + 1] && k < spectrum.size();
             ++k) {
            largest = std::max(largest, spectrum[k]);
            if (spectrum[k] > strongest) {
                strongest = spectrum[k];
                strongestBin = k;
            }
        }
        frame.bands[b] =
            static_cast<std::uint8_t>(std::floor(std::min(largest, 1.0f) * 255.0f + 0.5f));
    }
    frame.magnitude = toByteScale(strongest);
    frame.majorPeakHz = static_cast<float>(strongestBin) * kBinHz;
    return frame;
}

std::vector<std::string> WledFrameSink::scalarNames() {
    return {"kor_InputLevel", "kor_Level", "kor_BeatTime"};
}

std::vector<std::string> WledFrameSink::vectorNames() {
    return {"kor_Spectrum"};
}

void WledFrameSink::begin(const std::vector<std::string>& /*scalarNames*/,
                          const std::vector<std::string>& /*vectorNames*/) {
    lastBeats_ = 0.0f;
    sent_ = 0;
}

void WledFrameSink::frame(const FrameValues& values) {
    const std::vector<float>& scalars = *values.scalars;
    const float beats = scalars[2];
    const WledFrame frame = wledFrameFrom(scalars[0], scalars[1], beats > lastBeats_, values.index,
                                          (*values.vectors)[0]);
    lastBeats_ = beats;
    const auto packet = encodeWledPacket(frame);
    if (!sender_.send(packet.data(), packet.size())) {
        warnFirstFailure("--wled", sender_);
    }
    ++sent_;
}

void WledFrameSink::end() {
    reportFailures("--wled", sender_, sent_);
}

} // namespace korvala::cli
