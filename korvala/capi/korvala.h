/* Korvala Engine from C (and from any language with a C foreign-function
 * interface). C99, no C++ types; nothing here ever throws.
 *
 * Every function returns a korvala_status (KORVALA_OK on success) unless it
 * says otherwise. A NULL handle, buffer or output pointer gives
 * KORVALA_ERROR_NULL, never a crash. Outputs are written only on success
 * (and the length a too-short buffer needs).
 *
 * A korvala_engine is not thread-safe: the host serialises every call on one
 * engine (different engines are independent). Example: tests/capi/capi_test.c.
 */
#ifndef KORVALA_CAPI_KORVALA_H
#define KORVALA_CAPI_KORVALA_H

#include <stddef.h>

#if defined(_WIN32)
#define KORVALA_C_EXPORT __declspec(dllexport)
#else
#define KORVALA_C_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** What a call did. */
typedef enum korvala_status {
    KORVALA_OK = 0,
    KORVALA_ERROR_NULL = 1,             /**< a handle, buffer or output pointer was NULL */
    KORVALA_ERROR_RANGE = 2,            /**< an argument is outside its range */
    KORVALA_ERROR_UNKNOWN_NAME = 3,     /**< no component has this name */
    KORVALA_ERROR_INDEX = 4,            /**< an index is not below the count */
    KORVALA_ERROR_BUFFER_TOO_SMALL = 5, /**< the caller's buffer is shorter than the data */
    KORVALA_ERROR_NO_MEMORY = 6,        /**< an allocation failed */
    KORVALA_ERROR_INTERNAL = 7          /**< any other failure inside the library */
} korvala_status;

/** A static English sentence describing `status` (an unknown value has one too). */
KORVALA_C_EXPORT const char* korvala_strerror(korvala_status status);

/** The library's version, "major.minor.patch" (static storage). */
KORVALA_C_EXPORT const char* korvala_version(void);

/* ---- The engine: mono 44100 Hz blocks in, named values out per frame ---- */

/** One analysis engine with its 44 scalar and 8 vector components. */
typedef struct korvala_engine korvala_engine;

/** Builds an engine (all its buffers) into *engine. */
KORVALA_C_EXPORT korvala_status korvala_engine_create(korvala_engine** engine);
/** Frees *engine and sets it to NULL; NULL or *engine == NULL does nothing. */
KORVALA_C_EXPORT void korvala_engine_destroy(korvala_engine** engine);

/** Analyses one block of `count` mono 44100 Hz samples; at most 2048
 *  (KORVALA_ERROR_RANGE otherwise, nothing changes). 512-sample blocks give
 *  correct tempo values. Does not allocate. */
KORVALA_C_EXPORT korvala_status korvala_engine_process(korvala_engine* engine, const float* samples,
                                                       size_t count);
/** Advances every component by one frame of `dt` seconds (negative or
 *  non-finite counts as 0). The transition callback, if any, runs in here. */
KORVALA_C_EXPORT korvala_status korvala_engine_update(korvala_engine* engine, float dt);
/** Zeroes the clocks and restores each component's resettable state. */
KORVALA_C_EXPORT korvala_status korvala_engine_reset(korvala_engine* engine);

/** The two user controls, each clamped to [0, 1]; a non-finite value is
 *  ignored. Both start at 0.5. */
KORVALA_C_EXPORT korvala_status korvala_engine_set_reactivity(korvala_engine* engine, float value);
KORVALA_C_EXPORT korvala_status korvala_engine_set_audio_speed(korvala_engine* engine, float value);
KORVALA_C_EXPORT korvala_status korvala_engine_get_reactivity(const korvala_engine* engine,
                                                              float* value);
KORVALA_C_EXPORT korvala_status korvala_engine_get_audio_speed(const korvala_engine* engine,
                                                               float* value);

/** Scalar components are numbered 0 … count − 1 in byte-wise name order. Look
 *  an index up once by name, then read it every frame without allocating. */
KORVALA_C_EXPORT korvala_status korvala_engine_scalar_count(const korvala_engine* engine,
                                                            size_t* count);
/** The name of scalar `index`; the string lives as long as the engine. */
KORVALA_C_EXPORT korvala_status korvala_engine_scalar_name(const korvala_engine* engine,
                                                           size_t index, const char** name);
KORVALA_C_EXPORT korvala_status korvala_engine_scalar_index(const korvala_engine* engine,
                                                            const char* name, size_t* index);
/** The value of scalar `index` after the latest update. */
KORVALA_C_EXPORT korvala_status korvala_engine_scalar(const korvala_engine* engine, size_t index,
                                                      float* value);

/** Vector components, numbered like the scalars. */
KORVALA_C_EXPORT korvala_status korvala_engine_vector_count(const korvala_engine* engine,
                                                            size_t* count);
KORVALA_C_EXPORT korvala_status korvala_engine_vector_name(const korvala_engine* engine,
                                                           size_t index, const char** name);
KORVALA_C_EXPORT korvala_status korvala_engine_vector_index(const korvala_engine* engine,
                                                            const char* name, size_t* index);
/** Copies vector `index` into out[0 … capacity) and sets *length to its
 *  length. A buffer too short gives KORVALA_ERROR_BUFFER_TOO_SMALL with
 *  *length set to the length needed and nothing copied; `out` may be NULL
 *  when capacity is 0 (a length query). */
KORVALA_C_EXPORT korvala_status korvala_engine_vector(korvala_engine* engine, size_t index,
                                                      float* out, size_t capacity, size_t* length);

/** Called on the updating thread, inside korvala_engine_update, when the music
 *  changes sharply; `user` is the pointer given with it. */
typedef void (*korvala_transition_fn)(void* user);
/** Installs (or with NULL removes) the transition callback. */
KORVALA_C_EXPORT korvala_status korvala_engine_set_transition_callback(
    korvala_engine* engine, korvala_transition_fn callback, void* user);

#ifdef __cplusplus
}
#endif

#endif /* KORVALA_CAPI_KORVALA_H */
