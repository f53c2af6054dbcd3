// The C entry points: each one checks its pointers, forwards to the C++
// engine and maps every exception to a status code, so none crosses into C.

#include "korvala/capi/korvala.h"

#include "korvala/engine/AudioEngine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

struct korvala_engine {
    Korvala::AudioEngine engine;
    Korvala::AudioComponentController* controller = &engine.getController();
    // Components are looked up once, in byte-wise name order; the engine owns
    // them for its lifetime, so the pointers and names stay valid.
    std::vector<std::string> scalarNames;
    std::vector<Korvala::AudioComponent*> scalars;
    std::vector<std::string> vectorNames;
    std::vector<Korvala::AudioComponent2D*> vectors;
    // processAudio takes a vector: one of full capacity is kept, so a block
    // is copied in without allocating.
    std::vector<float> block;

    korvala_engine() {
        scalarNames = controller->getComponentNames();
        std::sort(scalarNames.begin(), scalarNames.end());
        for (const std::string& name : scalarNames) {
            scalars.push_back(controller->getComponent(name));
        }
        vectorNames = controller->getComponentNames2D();
        std::sort(vectorNames.begin(), vectorNames.end());
        for (const std::string& name : vectorNames) {
            vectors.push_back(controller->getComponent2D(name));
        }
        block.reserve(static_cast<std::size_t>(engine.getBufferSize()));
    }
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

korvala_status nameAt(const std::vector<std::string>& names, std::size_t index, const char** name) {
    if (name == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= names.size()) {
        return KORVALA_ERROR_INDEX;
    }
    *name = names[index].c_str();
    return KORVALA_OK;
}

korvala_status indexOf(const std::vector<std::string>& names, const char* name,
                       std::size_t* index) {
    if (name == nullptr || index == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    const auto at =
        std::lower_bound(names.begin(), names.end(), name, [](const std::string& a, const char* b) {
            return std::strcmp(a.c_str(), b) < 0;
        });
    if (at == names.end() || *at != name) {
        return KORVALA_ERROR_UNKNOWN_NAME;
    }
    *index = static_cast<std::size_t>(at - names.begin());
    return KORVALA_OK;
}

korvala_status countOf(const korvala_engine* engine, bool vectors, std::size_t* count) {
    if (engine == nullptr || count == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    *count = vectors ? engine->vectorNames.size() : engine->scalarNames.size();
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

korvala_status korvala_engine_scalar_count(const korvala_engine* engine, size_t* count) {
    return countOf(engine, false, count);
}

korvala_status korvala_engine_scalar_name(const korvala_engine* engine, size_t index,
                                          const char** name) {
    return engine == nullptr ? KORVALA_ERROR_NULL : nameAt(engine->scalarNames, index, name);
}

korvala_status korvala_engine_scalar_index(const korvala_engine* engine, const char* name,
                                           size_t* index) {
    return engine == nullptr ? KORVALA_ERROR_NULL : indexOf(engine->scalarNames, name, index);
}

korvala_status korvala_engine_scalar(const korvala_engine* engine, size_t index, float* value) {
    if (engine == nullptr || value == nullptr) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= engine->scalars.size()) {
        return KORVALA_ERROR_INDEX;
    }
    *value = engine->scalars[index]->getValue();
    return KORVALA_OK;
}

korvala_status korvala_engine_vector_count(const korvala_engine* engine, size_t* count) {
    return countOf(engine, true, count);
}

korvala_status korvala_engine_vector_name(const korvala_engine* engine, size_t index,
                                          const char** name) {
    return engine == nullptr ? KORVALA_ERROR_NULL : nameAt(engine->vectorNames, index, name);
}

korvala_status korvala_engine_vector_index(const korvala_engine* engine, const char* name,
                                           size_t* index) {
    return engine == nullptr ? KORVALA_ERROR_NULL : indexOf(engine->vectorNames, name, index);
}

korvala_status korvala_engine_vector(korvala_engine* engine, size_t index, float* out,
                                     size_t capacity, size_t* length) {
    if (engine == nullptr || length == nullptr || (out == nullptr && capacity > 0)) {
        return KORVALA_ERROR_NULL;
    }
    if (index >= engine->vectors.size()) {
        return KORVALA_ERROR_INDEX;
    }
    return guarded([&] {
        const std::vector<float> values = engine->vectors[index]->getValue();
        *length = values.size();
        if (values.size() > capacity) {
            return KORVALA_ERROR_BUFFER_TOO_SMALL;
        }
        std::copy(values.begin(), values.end(), out);
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

} // extern "C"
