#pragma once

// Capture from a sound card or sound server through RtAudio (PulseAudio and
// PipeWire, ALSA, JACK, as the installed RtAudio was built), pushed into a
// LiveEngine from the device's callback.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RtAudio;

namespace Korvala {
class LiveEngine;
}

namespace korvala::cli {

/// One input device as RtAudio lists it.
struct CaptureDevice {
    std::string api; ///< "pulse", "alsa", "jack"
    unsigned index = 0;
    std::string name;
    unsigned inputChannels = 0;
    unsigned preferredRate = 0;
    std::vector<unsigned> rates;
    bool isDefaultInput = false;
};

/// Every device with inputs, over every API this RtAudio was built with.
std::vector<CaptureDevice> listCaptureDevices();

struct CaptureSettings {
    std::string device;    ///< INDEX, NAME (or part of one), or a sound-server source name; empty:
                           ///< default input
    bool monitor = false;  ///< capture what the default output plays (its monitor source)
    unsigned rate = 0;     ///< 0: the device's preferred rate
    unsigned channels = 2; ///< capped to what the device has
    unsigned bufferFrames = 0; ///< the device buffer; 0: defaultBufferFrames(rate)
};

/// The device buffer when none is asked for: the power of two nearest 20 ms
/// (1024 frames at 44.1 and 48 kHz). Every buffer wakes two threads of the
/// sound server's client library; at 512 frames they cost more than the analysis.
unsigned defaultBufferFrames(unsigned rate);

/// An open input stream. Construction opens it (InputError with one clear line
/// when the device is missing, busy or refuses the rate); start() begins
/// pushing into the engine from the device's thread.
class AudioCapture {
public:
    explicit AudioCapture(const CaptureSettings& settings);
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    void start(Korvala::LiveEngine& engine);
    void stop();

    unsigned rate() const { return rate_; }
    unsigned channels() const { return channels_; }
    /// The frames the device hands over per callback (what the device granted).
    unsigned bufferFrames() const { return bufferFrames_; }
    const std::string& description() const { return description_; }
    /// The latency RtAudio reports for the open stream, in seconds (0 when unknown).
    double deviceLatencySeconds() const;
    /// Callbacks in which the device reported lost input.
    std::uint64_t overflows() const { return overflows_.load(std::memory_order_relaxed); }

    /// The device callback's work, callable without a device (tests): pushes
    /// `frames` interleaved frames and counts an overflow flag. Never allocates,
    /// locks or calls the system.
    static void deliver(Korvala::LiveEngine& engine, const float* samples, unsigned frames,
                        bool overflow, std::atomic<std::uint64_t>& overflows) noexcept;

private:
    static int callback(void* output, void* input, unsigned frames, double streamTime,
                        unsigned status, void* self);

    std::unique_ptr<RtAudio> audio_;
    Korvala::LiveEngine* engine_ = nullptr;
    std::atomic<std::uint64_t> overflows_{0};
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    unsigned bufferFrames_ = 0;
    std::string description_;
};

} // namespace korvala::cli
