// The C entry points: each one checks its pointers, forwards to the C++
// engine and maps every exception to a status code, so none crosses into C.

#include "korvala/capi/korvala.h"

#include "korvala/engine/AudioEngine.h"
#include "korvala/engine/ComponentTable.h"
#include "korvala/live/LiveEngine.h"
#include "korvala/live/LiveSnapshot.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

struct korvala_engine {
    Korvala::AudioEngine engine;
    Korvala::AudioComponentController* controller = &engine.getController();
    // processAudio takes a vector: one of full capacity is kept, so a block
    // is copied in without allocating.
    std::vector<float> block;

    korvala_engine() { block.reserve(static_cast<std::size_t>(engine.getBufferSize())); }
};

struct korvala_live {
    Korvala::LiveEngine live;

    korvala_live(double sampleRate, int channels, std::size_t ringFrames, double fps)
        : live(sampleRate, channels, ringFrames, fps) {}
};

struct korvala_snapshot {
    Korvala::LiveSnapshot values;
};

namespace {

// Runs `body`; any exception becomes a status.
template <typename Body> korvala_status guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return KORVALA_ERROR_NO_MEMORY;
    } catch (const std::out_of_range&) {
        return KORVALA_ERROR_RANGE;
    } catch (...) {
        return KORVALA_ERROR_INTERNAL;
    }
}

template <std::size_t N>
korvala_status indexIn(const std::array<const char*, N>& names, const char* name,
                       std::size_t* index) {
    if (name == nullptr || index == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (std::strcmp(names[i], name) == 0) {
            *index = i;
            return KORVALA_OK;
        }
    }
    return KORVALA_ERROR_UNKNOWN_NAME;
}

// Copies `length` values to a caller's buffer of `capacity`, or says how many it needs.
korvala_status copyOut(const float* values, std::size_t length, float* out, std::size_t capacity,
                       std::size_t* lengthOut) {
    *lengthOut = length;
    if (length > capacity) {
        return KORVALA_ERROR_BUFFER_TOO_SMALL;
    }
    std::copy_n(values, length, out);
    return KORVALA_OK;
}

} // namespace

extern "C" {

const char* korvala_strerror(korvala_status status) {
    switch (status) {
    case KORVALA_OK:
        return "success";
    case KORVALA_ERROR_NULL:
        return "a handle, buffer or output pointer was NULL";
    case KORVALA_ERROR_RANGE:
        return "an argument is outside its range";
    case KORVALA_ERROR_UNKNOWN_NAME:
        return "no component has this name";
    case KORVALA_ERROR_INDEX:
        return "the index is not below the component count";
    case KORVALA_ERROR_BUFFER_TOO_SMALL:
        return "the buffer is shorter than the data";
    case KORVALA_ERROR_NO_MEMORY:
        return "out of memory";
    case KORVALA_ERROR_INTERNAL:
        return "internal error";
    case KORVALA_ERROR_NO_FRAME:
        return "no frame has been published yet";
    case KORVALA_ERROR_NOT_ENABLED:
        return "the felt layer is not enabled";
    }
    return "unknown status code";
}

const char* korvala_version(void) {
    return KORVALA_VERSION_TEXT;
}

korvala_status korvala_engine_create(korvala_engine** engine) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return guarded([&] {
        *engine = new korvala_engine();
        return KORVALA_OK;
    });
}

void korvala_engine_destroy(korvala_engine** engine) {
    if (engine != nullptr) {
        delete *engine;
        *engine = nullptr;
    }
}

korvala_status korvala_engine_process(korvala_engine* engine, const float* samples, size_t count) {
    if (engine == nullptr || samples == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (count > engine->block.capacity()) {
        return KORVALA_ERROR_RANGE;
    }
    return guarded([&] {
        engine->block.assign(samples, samples + count);
        engine->engine.processAudio(engine->block);
        return KORVALA_OK;
    });
}

korvala_status korvala_engine_update(korvala_engine* engine, float dt) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return guarded([&] {
        engine->engine.update(dt);
        return KORVALA_OK;
    });
}

korvala_status korvala_engine_reset(korvala_engine* engine) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return guarded([&] {
        engine->engine.resetComponents();
        return KORVALA_OK;
    });
}

korvala_status korvala_engine_set_random_seed(korvala_engine* engine, unsigned int seed) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    engine->engine.setRandomSeed(seed);
    return KORVALA_OK;
}

korvala_status korvala_engine_set_reactivity(korvala_engine* engine, float value) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    engine->engine.setReactivityUserInput(value);
    return KORVALA_OK;
}

korvala_status korvala_engine_set_audio_speed(korvala_engine* engine, float value) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    engine->engine.setAudioSpeedUserInput(value);
    return KORVALA_OK;
}

korvala_status korvala_engine_get_reactivity(const korvala_engine* engine, float* value) {
    if (engine == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    *value = engine->controller->getUserInputs().reactivity;
    return KORVALA_OK;
}

korvala_status korvala_engine_get_audio_speed(const korvala_engine* engine, float* value) {
    if (engine == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    *value = engine->controller->getUserInputs().audioSpeed;
    return KORVALA_OK;
}

size_t korvala_scalar_count(void) {
    return Korvala::kScalarCount;
}

const char* korvala_scalar_name(size_t index) {
    return index < Korvala::kScalarCount ? Korvala::kScalarNames[index] : nullptr;
}

korvala_status korvala_scalar_index(const char* name, size_t* index) {
    return indexIn(Korvala::kScalarNames, name, index);
}

size_t korvala_vector_count(void) {
    return Korvala::kVectorCount;
}

const char* korvala_vector_name(size_t index) {
    return index < Korvala::kVectorCount ? Korvala::kVectorNames[index] : nullptr;
}

korvala_status korvala_vector_index(const char* name, size_t* index) {
    return indexIn(Korvala::kVectorNames, name, index);
}

size_t korvala_vector_length(size_t index) {
    return index < Korvala::kVectorCount ? Korvala::kVectorLengths[index] : 0;
}

korvala_status korvala_engine_scalar(const korvala_engine* engine, size_t index, float* value) {
    if (engine == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= Korvala::kScalarCount) {
        return KORVALA_ERROR_INDEX;
    }
    *value = engine->engine.getComponentAt(index);
    return KORVALA_OK;
}

korvala_status korvala_engine_vector(const korvala_engine* engine, size_t index, float* out,
                                     size_t capacity, size_t* length) {
    if (engine == nullptr || length == nullptr || (out == nullptr && capacity > 0)) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= Korvala::kVectorCount) {
        return KORVALA_ERROR_INDEX;
    }
    return guarded([&] {
        const std::size_t full = engine->engine.getComponent2DAt(index, nullptr, 0);
        *length = full;
        if (full > capacity) {
            return KORVALA_ERROR_BUFFER_TOO_SMALL;
        }
        engine->engine.getComponent2DAt(index, out, capacity);
        return KORVALA_OK;
    });
}

korvala_status korvala_engine_set_transition_callback(korvala_engine* engine,
                                                      korvala_transition_fn callback, void* user) {
    if (engine == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    engine->engine.setTransitionComponent(callback, user);
    return KORVALA_OK;
}

korvala_status korvala_live_create(korvala_live** live, double sample_rate, int channels,
                                   size_t ring_frames, double expected_fps) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    try {
        *live = new korvala_live(sample_rate, channels, ring_frames, expected_fps);
        return KORVALA_OK;
    } catch (const std::invalid_argument&) {
        return KORVALA_ERROR_RANGE;
    } catch (const std::bad_alloc&) {
        return KORVALA_ERROR_NO_MEMORY;
    } catch (...) {
        return KORVALA_ERROR_INTERNAL;
    }
}

void korvala_live_destroy(korvala_live** live) {
    if (live != nullptr) {
        delete *live;
        *live = nullptr;
    }
}

korvala_status korvala_live_push_interleaved(korvala_live* live, const float* samples,
                                             size_t frames) {
    if (live == nullptr || samples == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    live->live.pushInterleaved(samples, frames);
    return KORVALA_OK;
}

korvala_status korvala_live_push_planar(korvala_live* live, const float* const* channels,
                                        size_t frames) {
    if (live == nullptr || channels == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    for (int c = 0; c < live->live.channels(); ++c) {
        if (channels[c] == nullptr) {
            return KORVALA_ERROR_NULL;
        }
    }
    live->live.pushPlanar(channels, frames);
    return KORVALA_OK;
}

korvala_status korvala_live_frame(korvala_live* live, float dt) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return guarded([&] {
        live->live.frame(dt);
        return KORVALA_OK;
    });
}

korvala_status korvala_live_set_transition_callback(korvala_live* live,
                                                    korvala_transition_fn callback, void* user) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    live->live.setTransitionCallback(callback, user);
    return KORVALA_OK;
}

korvala_status korvala_live_set_reactivity(korvala_live* live, float value) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    live->live.setReactivity(value);
    return KORVALA_OK;
}

korvala_status korvala_live_set_audio_speed(korvala_live* live, float value) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    live->live.setAudioSpeed(value);
    return KORVALA_OK;
}

korvala_status korvala_snapshot_create(korvala_snapshot** snapshot) {
    if (snapshot == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return guarded([&] {
        *snapshot = new korvala_snapshot();
        return KORVALA_OK;
    });
}

void korvala_snapshot_destroy(korvala_snapshot** snapshot) {
    if (snapshot != nullptr) {
        delete *snapshot;
        *snapshot = nullptr;
    }
}

korvala_status korvala_live_latest(const korvala_live* live, korvala_snapshot* snapshot) {
    if (live == nullptr || snapshot == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    return live->live.latest(snapshot->values) ? KORVALA_OK : KORVALA_ERROR_NO_FRAME;
}

korvala_status korvala_snapshot_scalar(const korvala_snapshot* snapshot, size_t index,
                                       float* value) {
    if (snapshot == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= Korvala::kScalarCount) {
        return KORVALA_ERROR_INDEX;
    }
    *value = snapshot->values.scalars[index];
    return KORVALA_OK;
}

korvala_status korvala_snapshot_vector(const korvala_snapshot* snapshot, size_t index, float* out,
                                       size_t capacity, size_t* length) {
    if (snapshot == nullptr || length == nullptr || (out == nullptr && capacity > 0)) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= Korvala::kVectorCount) {
        return KORVALA_ERROR_INDEX;
    }
    return copyOut(snapshot->values.vector(index), Korvala::kVectorLengths[index], out, capacity,
                   length);
}

korvala_status korvala_snapshot_get_stats(const korvala_snapshot* snapshot,
                                          korvala_snapshot_stats* stats) {
    if (snapshot == nullptr || stats == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    const Korvala::LiveSnapshot& v = snapshot->values;
    *stats =
        korvala_snapshot_stats{v.frames,        v.blocks,          v.transitions,   v.inputFrames,
                               v.droppedFrames, v.secondsAnalysed, v.latencySeconds};
    return KORVALA_OK;
}

size_t korvala_felt_count(void) {
    return Korvala::kLiveFeltCount;
}

const char* korvala_felt_name(size_t index) {
    return Korvala::LiveEngine::feltName(index);
}

korvala_status korvala_felt_index(const char* name, size_t* index) {
    if (name == nullptr || index == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    for (std::size_t i = 0; i < Korvala::kLiveFeltCount; ++i) {
        if (std::strcmp(Korvala::LiveEngine::feltName(i), name) == 0) {
            *index = i;
            return KORVALA_OK;
        }
    }
    return KORVALA_ERROR_UNKNOWN_NAME;
}

korvala_status korvala_live_enable_felt(korvala_live* live, float min_bpm, float max_bpm, int gate,
                                        float latency_ms) {
    if (live == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    Korvala::FeltTempo::Options options;
    options.tempo.minBPM = min_bpm;
    options.tempo.maxBPM = max_bpm;
    options.tempo.latencyMs = latency_ms;
    options.gate = gate != 0;
    if (!options.tempo.valid()) {
        return KORVALA_ERROR_RANGE;
    }
    return guarded([&] {
        live->live.enableFelt(options);
        return KORVALA_OK;
    });
}

korvala_status korvala_snapshot_felt(const korvala_snapshot* snapshot, size_t index, float* value) {
    if (snapshot == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= Korvala::kLiveFeltCount) {
        return KORVALA_ERROR_INDEX;
    }
    if (snapshot->values.feltEnabled == 0) {
        return KORVALA_ERROR_NOT_ENABLED;
    }
    *value = snapshot->values.felt[index];
    return KORVALA_OK;
}

} // extern "C"
