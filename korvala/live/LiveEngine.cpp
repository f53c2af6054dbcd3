#include "korvala/live/LiveEngine.h"

#include "korvala/live/detail/SampleRing.h"
#include "korvala/live/detail/SnapshotBoard.h"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace Korvala {

namespace {
constexpr double kEngineRate = 44100.0;
constexpr std::size_t kBlock = 512;
constexpr std::size_t kMinRing = 4096;
constexpr std::size_t kTakeChunk = 4096;
} // namespace

struct LiveEngine::State {
    explicit State(std::size_t ringFrames) : ring(ringFrames) {}
    ~State() { soxr_delete(resampler); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    live_detail::SampleRing ring;
    live_detail::SnapshotBoard<LiveSnapshot> board;
    soxr_t resampler = nullptr; // null at 44100 Hz: samples pass untouched

    // Frame thread only.
    std::vector<float> taken;   // one chunk from the ring
    std::vector<float> pending; // 44100 Hz samples waiting for a whole block
    std::size_t pendingCount = 0;
    std::vector<float> block = std::vector<float>(kBlock);
    LiveSnapshot staging;
    std::uint64_t takenChecksum = 0;
    void (*callback)(void*) = nullptr;
    void* callbackContext = nullptr;

    // Controls set from any thread, applied at the next frame; NaN: unchanged.
    std::atomic<float> reactivity{std::nanf("")};
    std::atomic<float> audioSpeed{std::nanf("")};

    /// The engine's transition handler: counts, then calls the host's.
    static void onTransition(void* context) {
        auto* state = static_cast<State*>(context);
        ++state->staging.transitions;
        if (state->callback != nullptr) {
            state->callback(state->callbackContext);
        }
    }

    /// Appends `count` 44100 Hz samples' worth of `input` (resampled if needed)
    /// to the pending samples and analyses every whole block.
    void analyse(AudioEngine& engine, const float* input, std::size_t count);
};

void LiveEngine::State::analyse(AudioEngine& engine, const float* input, std::size_t count) {
    std::size_t consumed = 0;
    do {
        std::size_t produced = 0;
        if (resampler != nullptr) {
            std::size_t used = 0;
            soxr_process(resampler, input + consumed, count - consumed, &used,
                         pending.data() + pendingCount, pending.size() - pendingCount, &produced);
            consumed += used;
            if (used == 0 && produced == 0) {
                break; // cannot happen with room for a chunk's output; never spin
            }
        } else {
            produced = std::min(count - consumed, pending.size() - pendingCount);
            std::memcpy(pending.data() + pendingCount, input + consumed, produced * sizeof(float));
            consumed += produced;
        }
        pendingCount += produced;

        std::size_t start = 0;
        while (pendingCount - start >= kBlock) {
            std::memcpy(block.data(), pending.data() + start, kBlock * sizeof(float));
            engine.processAudio(block);
            ++staging.blocks;
            start += kBlock;
        }
        if (start > 0) {
            std::memmove(pending.data(), pending.data() + start,
                         (pendingCount - start) * sizeof(float));
            pendingCount -= start;
        }
    } while (consumed < count);
}

LiveEngine::LiveEngine(double sampleRate, int channels, std::size_t ringFrames, double expectedFps)
    : sampleRate_(sampleRate), channels_(channels), expectedFps_(expectedFps) {
    if (!(sampleRate >= 8000.0 && sampleRate <= 384000.0)) {
        throw std::invalid_argument("LiveEngine: the sample rate must be 8000 to 384000 Hz");
    }
    if (channels < 1 || channels > 32) {
        throw std::invalid_argument("LiveEngine: the channel count must be 1 to 32");
    }
    if (!(expectedFps > 0.0 && expectedFps <= 1000.0)) {
        throw std::invalid_argument("LiveEngine: the frame rate must be above 0, at most 1000");
    }
    if (ringFrames == 0) {
        ringFrames = std::max(kMinRing, static_cast<std::size_t>(std::ceil(sampleRate)));
    }
    engine_ = std::make_unique<AudioEngine>();
    state_ = std::make_unique<State>(ringFrames);
    State& s = *state_;
    engine_->setTransitionComponent(State::onTransition, &s);

    if (sampleRate != kEngineRate) {
        // The same setting as the korvala command's file reader (high quality,
        // one thread), so both give the same 44100 Hz stream.
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        s.resampler = soxr_create(sampleRate, kEngineRate, 1, &error, &io, &quality, &runtime);
        if (error != nullptr) {
            throw std::runtime_error(std::string("LiveEngine: cannot set up resampling: ") + error);
        }
    }
    // A frame usually takes 1/expectedFps seconds of audio; after a stall it takes
    // the chunks one at a time, so the buffers never grow past these sizes.
    const std::size_t perFrame = static_cast<std::size_t>(std::ceil(sampleRate / expectedFps));
    s.taken.resize(std::min(std::max(perFrame, kTakeChunk), ringFrames));
    const double ratio = kEngineRate / sampleRate;
    s.pending.resize(kBlock + static_cast<std::size_t>(std::ceil(s.taken.size() * ratio)) + 1024);
}

LiveEngine::~LiveEngine() = default;

std::size_t LiveEngine::ringFrames() const {
    return state_->ring.capacity();
}

void LiveEngine::pushInterleaved(const float* samples, std::size_t frames) noexcept {
    const std::size_t n = static_cast<std::size_t>(channels_);
    if (n == 1) {
        state_->ring.push(frames, [samples](std::size_t i, float& out) { out = samples[i]; });
        return;
    }
    const float count = static_cast<float>(n);
    state_->ring.push(frames, [samples, n, count](std::size_t i, float& out) {
        const float* frame = samples + i * n;
        float sum = 0.0f;
        for (std::size_t c = 0; c < n; ++c) {
            sum += frame[c];
        }
        out = sum / count;
    });
}

void LiveEngine::pushPlanar(const float* const* channels, std::size_t frames) noexcept {
    const std::size_t n = static_cast<std::size_t>(channels_);
    if (n == 1) {
        const float* mono = channels[0];
        state_->ring.push(frames, [mono](std::size_t i, float& out) { out = mono[i]; });
        return;
    }
    const float count = static_cast<float>(n);
    state_->ring.push(frames, [channels, n, count](std::size_t i, float& out) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < n; ++c) {
            sum += channels[c][i];
        }
        out = sum / count;
    });
}

const LiveSnapshot& LiveEngine::frame(float dt) {
    State& s = *state_;
    const float reactivity = s.reactivity.exchange(std::nanf(""), std::memory_order_relaxed);
    if (!std::isnan(reactivity)) {
        engine_->setReactivityUserInput(reactivity);
    }
    const float audioSpeed = s.audioSpeed.exchange(std::nanf(""), std::memory_order_relaxed);
    if (!std::isnan(audioSpeed)) {
        engine_->setAudioSpeedUserInput(audioSpeed);
    }

    LiveSnapshot& snap = s.staging;
    // Take what was pushed up to now, one chunk at a time; audio pushed while
    // this frame runs waits for the next one.
    std::uint64_t remaining = s.ring.waiting();
    while (remaining > 0) {
        std::uint64_t position = 0;
        const std::size_t got = s.ring.take(
            s.taken.data(),
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, s.taken.size())), position);
        if (got == 0) {
            break;
        }
        remaining -= std::min<std::uint64_t>(remaining, got);
        for (std::size_t i = 0; i < got; ++i) {
            s.takenChecksum += live_detail::checksumTerm(position + i, s.taken[i]);
        }
        snap.inputFrames += got;

        s.analyse(*engine_, s.taken.data(), got);
    }

    engine_->update(dt);

    ++snap.frames;
    snap.droppedFrames = s.ring.dropped();
    snap.transportChecksum = s.takenChecksum + s.ring.droppedChecksum();
    snap.secondsAnalysed = static_cast<double>(snap.blocks) * kBlock / kEngineRate;
    const double resamplerDelay =
        s.resampler != nullptr ? soxr_delay(s.resampler) / kEngineRate : 0.0;
    snap.latencySeconds = static_cast<double>(s.ring.waiting()) / sampleRate_ + resamplerDelay +
                          static_cast<double>(s.pendingCount) / kEngineRate;
    snap.dt = dt;
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        snap.scalars[i] = engine_->getComponentAt(i);
    }
    // With the engine's vectors off the snapshot keeps the last ones copied.
    for (std::size_t i = 0; i < (engine_->vectorsUpdated() ? kVectorCount : 0); ++i) {
        const std::size_t length = engine_->getComponent2DAt(i, snap.vector(i), kVectorLengths[i]);
        std::fill(snap.vector(i) + std::min(length, kVectorLengths[i]),
                  snap.vector(i) + kVectorLengths[i], 0.0f);
    }
    if (felt_) {
        snap.feltEnabled = 1;
        for (std::size_t i = 0; i < kLiveFeltCount; ++i) {
            snap.felt[i] = feltValues_[i]->getValue();
        }
    }
    snap.seal = snap.frames;
    s.board.publish(snap);
    return snap;
}

void LiveEngine::enableFelt(const FeltTempo::Options& options) {
    if (FeltTempo::names().size() != kLiveFeltCount) {
        throw std::logic_error("LiveEngine: the felt layer's names do not fit the snapshot");
    }
    felt_.reset(); // unregisters the old layer's names before the new one adds them
    felt_ = std::make_unique<FeltTempo>(*engine_, options);
    for (std::size_t i = 0; i < kLiveFeltCount; ++i) {
        feltValues_[i] = engine_->getController().getComponent(FeltTempo::names()[i]);
    }
}

void LiveEngine::setTransitionCallback(void (*callback)(void*), void* context) {
    state_->callback = callback;
    state_->callbackContext = context;
}

bool LiveEngine::latest(LiveSnapshot& out) const noexcept {
    return state_->board.read(out);
}

void LiveEngine::setReactivity(float value) noexcept {
    state_->reactivity.store(value, std::memory_order_relaxed);
}

void LiveEngine::setAudioSpeed(float value) noexcept {
    state_->audioSpeed.store(value, std::memory_order_relaxed);
}

std::size_t LiveEngine::scalarIndex(const std::string& name) {
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        if (name == kScalarNames[i]) {
            return i;
        }
    }
    throw std::invalid_argument("LiveEngine: no scalar named " + name);
}

std::size_t LiveEngine::vectorIndex(const std::string& name) {
    for (std::size_t i = 0; i < kVectorCount; ++i) {
        if (name == kVectorNames[i]) {
            return i;
        }
    }
    throw std::invalid_argument("LiveEngine: no vector named " + name);
}

std::size_t LiveEngine::feltIndex(const std::string& name) {
    const std::vector<std::string>& names = FeltTempo::names();
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end() || static_cast<std::size_t>(at - names.begin()) >= kLiveFeltCount) {
        throw std::invalid_argument("LiveEngine: no felt value named " + name);
    }
    return static_cast<std::size_t>(at - names.begin());
}

const char* LiveEngine::feltName(std::size_t index) {
    const std::vector<std::string>& names = FeltTempo::names();
    return index < kLiveFeltCount && index < names.size() ? names[index].c_str() : nullptr;
}

double LiveEngine::nominalLatencySeconds() const {
    const double resamplerDelay =
        state_->resampler != nullptr ? soxr_delay(state_->resampler) / kEngineRate : 0.0;
    return resamplerDelay + kBlock / kEngineRate + 1.0 / expectedFps_;
}

} // namespace Korvala
