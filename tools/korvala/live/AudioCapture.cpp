#include "tools/korvala/live/AudioCapture.h"

#include "tools/korvala/ToolError.h"

#include "korvala/live/LiveEngine.h"

#include <RtAudio.h>
#ifdef KORVALA_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace korvala::cli {

namespace {
#ifdef KORVALA_HAVE_ALSA
// ALSA's library prints every failed probe of a missing card to standard
// error; RtAudio reports what matters through its own errors.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

std::vector<RtAudio::Api> compiledApis() {
#ifdef KORVALA_HAVE_ALSA
    snd_lib_error_set_handler(quietAlsa);
#endif
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    return apis;
}

bool isIndex(const std::string& text) {
    return !text.empty() && text.size() < 6 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}
} // namespace

std::vector<CaptureDevice> listCaptureDevices() {
    std::vector<CaptureDevice> devices;
    for (const RtAudio::Api api : compiledApis()) {
        try {
            RtAudio audio(api);
            audio.showWarnings(false);
            const unsigned count = audio.getDeviceCount();
            for (unsigned i = 0; i < count; ++i) {
                const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
                if (!info.probed || info.inputChannels == 0) {
                    continue;
                }
                devices.push_back({RtAudio::getApiName(api), i, info.name, info.inputChannels,
                                   info.preferredSampleRate, info.sampleRates,
                                   info.isDefaultInput});
            }
        } catch (const RtAudioError&) {
            // An API whose server is not running lists nothing.
        }
    }
    return devices;
}

unsigned defaultBufferFrames(unsigned rate) {
    const double target = 0.020 * rate;
    unsigned frames = 32;
    while (frames < 16384 && std::fabs(frames * 2 - target) <= std::fabs(frames - target)) {
        frames *= 2;
    }
    return frames;
}

AudioCapture::AudioCapture(const CaptureSettings& settings) {
    const std::vector<CaptureDevice> devices = listCaptureDevices();
    auto pulseApi = [&]() {
        const auto apis = compiledApis();
        return std::find(apis.begin(), apis.end(), RtAudio::LINUX_PULSE) != apis.end();
    };
    const CaptureDevice* chosen = nullptr;
    std::string pulseSource;
    if (settings.monitor) {
        if (!settings.device.empty()) {
            throw UsageError("--monitor and --device: give one of them");
        }
        pulseSource = "@DEFAULT_MONITOR@";
    } else if (isIndex(settings.device)) {
        const unsigned index = static_cast<unsigned>(std::stoul(settings.device));
        if (index >= devices.size()) {
            throw InputError("--device " + settings.device + ": there are " +
                             std::to_string(devices.size()) +
                             " input devices (see korvala live --list-devices)");
        }
        chosen = &devices[index];
    } else if (!settings.device.empty()) {
        for (const CaptureDevice& device : devices) {
            if (device.name == settings.device) {
                chosen = &device;
                break;
            }
        }
        for (const CaptureDevice& device : devices) {
            if (chosen == nullptr && device.name.find(settings.device) != std::string::npos) {
                chosen = &device;
            }
        }
        if (chosen == nullptr) {
            // A sound-server source that names no listed device is not looked
            // for: PipeWire would quietly open the default source instead.
            throw InputError("--device " + settings.device +
                             ": no such input device (see korvala live --list-devices; for "
                             "another PulseAudio/PipeWire source set PULSE_SOURCE=NAME)");
        }
    }
    if (!pulseSource.empty()) {
        if (!pulseApi()) {
            throw InputError("--monitor: this RtAudio was built without PulseAudio");
        }
        // The sound server's client library opens this source for a stream
        // that names no device, which is how RtAudio opens its one device.
        ::setenv("PULSE_SOURCE", pulseSource.c_str(), 1);
        const auto pulse = std::find_if(devices.begin(), devices.end(),
                                        [](const CaptureDevice& d) { return d.api == "pulse"; });
        if (pulse == devices.end()) {
            throw InputError("--monitor: no PulseAudio or PipeWire server answered (is one "
                             "running for this user?)");
        }
        chosen = &*pulse;
    }
    if (chosen == nullptr) {
        chosen = devices.empty() ? nullptr : &devices.front();
        for (const CaptureDevice& device : devices) {
            if (device.isDefaultInput && device.api == devices.front().api) {
                chosen = &device;
                break;
            }
        }
        if (chosen == nullptr) {
            throw InputError("no audio input device found (no sound server or sound card; see "
                             "korvala live --list-devices)");
        }
    }

    rate_ = settings.rate != 0 ? settings.rate
                               : (chosen->preferredRate != 0 ? chosen->preferredRate : 48000);
    channels_ = std::min(settings.channels, chosen->inputChannels);
    bufferFrames_ = settings.bufferFrames != 0 ? settings.bufferFrames : defaultBufferFrames(rate_);
    RtAudio::Api api = RtAudio::UNSPECIFIED;
    for (const RtAudio::Api candidate : compiledApis()) {
        if (RtAudio::getApiName(candidate) == chosen->api) {
            api = candidate;
        }
    }
    description_ = chosen->api + ": " + chosen->name +
                   (pulseSource.empty() ? "" : " (source " + pulseSource + ")") + ", " +
                   std::to_string(rate_) + " Hz, " + std::to_string(channels_) +
                   (channels_ == 1 ? " channel" : " channels");
    try {
        audio_ = std::make_unique<RtAudio>(api);
        audio_->showWarnings(false);
        RtAudio::StreamParameters input;
        input.deviceId = chosen->index;
        input.nChannels = channels_;
        RtAudio::StreamOptions options;
        options.streamName = "korvala";
        options.flags = 0;
        audio_->openStream(nullptr, &input, RTAUDIO_FLOAT32, rate_, &bufferFrames_,
                           &AudioCapture::callback, this, &options);
    } catch (const RtAudioError& e) {
        throw InputError(chosen->api + " device '" + chosen->name + "'" +
                         (pulseSource.empty() ? "" : " (source " + pulseSource + ")") + " at " +
                         std::to_string(rate_) + " Hz, " + std::to_string(channels_) +
                         " channels: " + e.getMessage());
    }
    description_ += ", buffers of " + std::to_string(bufferFrames_) + " frames";
}

AudioCapture::~AudioCapture() {
    stop();
}

void AudioCapture::start(Korvala::LiveEngine& engine) {
    engine_ = &engine;
    try {
        audio_->startStream();
    } catch (const RtAudioError& e) {
        throw InputError(description_ + ": cannot start: " + e.getMessage());
    }
}

void AudioCapture::stop() {
    if (audio_ && audio_->isStreamOpen()) {
        try {
            if (audio_->isStreamRunning()) {
                audio_->stopStream();
            }
            audio_->closeStream();
        } catch (const RtAudioError&) {
            // Stopping is best effort: the stream goes with the process.
        }
    }
}

double AudioCapture::deviceLatencySeconds() const {
    try {
        return rate_ > 0 ? static_cast<double>(audio_->getStreamLatency()) / rate_ : 0.0;
    } catch (const RtAudioError&) {
        return 0.0;
    }
}

void AudioCapture::deliver(Korvala::LiveEngine& engine, const float* samples, unsigned frames,
                           bool overflow, std::atomic<std::uint64_t>& overflows) noexcept {
    if (overflow) {
        overflows.fetch_add(1, std::memory_order_relaxed);
    }
    if (samples != nullptr) {
        engine.pushInterleaved(samples, frames);
    }
}

int AudioCapture::callback(void* /*output*/, void* input, unsigned frames, double /*streamTime*/,
                           unsigned status, void* self) {
    auto* capture = static_cast<AudioCapture*>(self);
    if (capture->engine_ != nullptr) {
        deliver(*capture->engine_, static_cast<const float*>(input), frames,
                (status & RTAUDIO_INPUT_OVERFLOW) != 0, capture->overflows_);
    }
    return 0;
}

} // namespace korvala::cli
