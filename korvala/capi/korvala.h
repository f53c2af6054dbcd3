/* Korvala Engine from C (and from any language with a C foreign-function
 * interface). C99, no C++ types; nothing here ever throws.
 *
 * Every function returns a korvala_status (KORVALA_OK on success) unless it
 * says otherwise. A NULL handle, buffer or output pointer gives
 * KORVALA_ERROR_NULL, never a crash. Outputs are written only on success
 * (and the length a too-short buffer needs).
 *
 * A korvala_engine is not thread-safe: the host serialises every call on one
 * engine (different engines are independent). A korvala_live splits its calls
 * between an audio thread, a frame thread and readers, as marked.
 * Every entry point in use: tests/capi/capi_test.c.
 */
#ifndef KORVALA_CAPI_KORVALA_H
#define KORVALA_CAPI_KORVALA_H

#include <stddef.h>
#include <stdint.h>

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
    KORVALA_ERROR_INTERNAL = 7,         /**< any other failure inside the library */
    KORVALA_ERROR_NO_FRAME = 8,         /**< no frame has been published yet */
    KORVALA_ERROR_NOT_ENABLED = 9       /**< the opt-in felt layer is not enabled */
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
/** Restarts the engine's own random sequence ("kor_RandomOnBeat") from `seed`,
 *  as srand(seed) restarts rand(); the korvala command uses seed 1. */
KORVALA_C_EXPORT korvala_status korvala_engine_set_random_seed(korvala_engine* engine,
                                                               unsigned int seed);

/** The two user controls, each clamped to [0, 1]; a non-finite value is
 *  ignored. Both start at 0.5. */
KORVALA_C_EXPORT korvala_status korvala_engine_set_reactivity(korvala_engine* engine, float value);
KORVALA_C_EXPORT korvala_status korvala_engine_set_audio_speed(korvala_engine* engine, float value);
KORVALA_C_EXPORT korvala_status korvala_engine_get_reactivity(const korvala_engine* engine,
                                                              float* value);
KORVALA_C_EXPORT korvala_status korvala_engine_get_audio_speed(const korvala_engine* engine,
                                                               float* value);

/* ---- Component names: one numbering for the engine and live snapshots ---- */

/** Scalar components are numbered 0 … count − 1 in catalogue order. Look an
 *  index up once by name, then read it every frame without allocating. */
KORVALA_C_EXPORT size_t korvala_scalar_count(void);
/** The name of scalar `index` (static storage); NULL past the end. */
KORVALA_C_EXPORT const char* korvala_scalar_name(size_t index);
KORVALA_C_EXPORT korvala_status korvala_scalar_index(const char* name, size_t* index);
/** Vector components, numbered the same way; each has a fixed length. */
KORVALA_C_EXPORT size_t korvala_vector_count(void);
KORVALA_C_EXPORT const char* korvala_vector_name(size_t index);
KORVALA_C_EXPORT korvala_status korvala_vector_index(const char* name, size_t* index);
/** The length of vector `index` once a frame has run (0 past the end). */
KORVALA_C_EXPORT size_t korvala_vector_length(size_t index);

/** The value of scalar `index` after the latest update. */
KORVALA_C_EXPORT korvala_status korvala_engine_scalar(const korvala_engine* engine, size_t index,
                                                      float* value);
/** Copies vector `index` into out[0 … capacity) and sets *length to its
 *  length. A buffer too short gives KORVALA_ERROR_BUFFER_TOO_SMALL with
 *  *length set to the length needed and nothing copied; `out` may be NULL
 *  when capacity is 0 (a length query). Does not allocate. */
KORVALA_C_EXPORT korvala_status korvala_engine_vector(const korvala_engine* engine, size_t index,
                                                      float* out, size_t capacity, size_t* length);

/** Called on the updating thread, inside korvala_engine_update, when the music
 *  changes sharply; `user` is the pointer given with it. */
typedef void (*korvala_transition_fn)(void* user);
/** Installs (or with NULL removes) the transition callback. */
KORVALA_C_EXPORT korvala_status korvala_engine_set_transition_callback(
    korvala_engine* engine, korvala_transition_fn callback, void* user);

/* ---- The live engine: any rate and block size, audio and frame threads ---- */

/** An engine for live audio: the audio callback pushes frames of any length
 *  at the device's rate and channel count; once per rendered frame one thread
 *  calls korvala_live_frame, which mixes to mono, resamples to 44100 Hz, cuts
 *  512-sample blocks, analyses them, updates and publishes a snapshot; any
 *  thread copies the latest snapshot. */
typedef struct korvala_live korvala_live;

/** `sample_rate` 8000 to 384000 Hz, `channels` 1 to 32, `ring_frames` the
 *  frames buffered before the oldest are dropped (0: one second, at least
 *  4096), `expected_fps` the frame rate aimed at (above 0, at most 1000);
 *  KORVALA_ERROR_RANGE otherwise. Allocates everything here. */
KORVALA_C_EXPORT korvala_status korvala_live_create(korvala_live** live, double sample_rate,
                                                    int channels, size_t ring_frames,
                                                    double expected_fps);
/** Frees *live and sets it to NULL; NULL or *live == NULL does nothing. */
KORVALA_C_EXPORT void korvala_live_destroy(korvala_live** live);

/** Audio thread (one producer): pushes `frames` frames of interleaved
 *  samples. Wait-free: never allocates, locks or calls the system; a full
 *  ring drops its oldest frames (counted in the snapshot). */
KORVALA_C_EXPORT korvala_status korvala_live_push_interleaved(korvala_live* live,
                                                              const float* samples, size_t frames);
/** The same with one pointer per channel (`channels[0 … channel count)`). */
KORVALA_C_EXPORT korvala_status korvala_live_push_planar(korvala_live* live,
                                                         const float* const* channels,
                                                         size_t frames);

/** Frame thread (one at a time): analyses everything pushed so far, advances
 *  the components by `dt` seconds and publishes a snapshot. The transition
 *  callback runs in here. */
KORVALA_C_EXPORT korvala_status korvala_live_frame(korvala_live* live, float dt);
/** Installs (or with NULL removes) the transition callback; frame thread only. */
KORVALA_C_EXPORT korvala_status korvala_live_set_transition_callback(korvala_live* live,
                                                                     korvala_transition_fn callback,
                                                                     void* user);
/** User controls in [0, 1] from any thread, applied at the next frame. */
KORVALA_C_EXPORT korvala_status korvala_live_set_reactivity(korvala_live* live, float value);
KORVALA_C_EXPORT korvala_status korvala_live_set_audio_speed(korvala_live* live, float value);

/** A copy of every value after one frame, owned by the reader. */
typedef struct korvala_snapshot korvala_snapshot;
/** Allocates a snapshot (about 23 kB) to copy into, once per reader thread. */
KORVALA_C_EXPORT korvala_status korvala_snapshot_create(korvala_snapshot** snapshot);
KORVALA_C_EXPORT void korvala_snapshot_destroy(korvala_snapshot** snapshot);

/** Any thread: copies the latest complete snapshot, never torn, never waiting
 *  for the frame thread, without allocating. KORVALA_ERROR_NO_FRAME before the
 *  first frame (snapshot untouched). */
KORVALA_C_EXPORT korvala_status korvala_live_latest(const korvala_live* live,
                                                    korvala_snapshot* snapshot);
/** Scalar `index` (korvala_scalar_index) in the snapshot. */
KORVALA_C_EXPORT korvala_status korvala_snapshot_scalar(const korvala_snapshot* snapshot,
                                                        size_t index, float* value);
/** Vector `index` in the snapshot, copied like korvala_engine_vector. */
KORVALA_C_EXPORT korvala_status korvala_snapshot_vector(const korvala_snapshot* snapshot,
                                                        size_t index, float* out, size_t capacity,
                                                        size_t* length);

/** The counters of a snapshot. */
typedef struct korvala_snapshot_stats {
    uint64_t frames;         /**< frames published so far (1 for the first snapshot) */
    uint64_t blocks;         /**< 512-sample blocks at 44100 Hz analysed so far */
    uint64_t transitions;    /**< transition callbacks fired so far */
    uint64_t input_frames;   /**< frames taken from the ring, at the input rate */
    uint64_t dropped_frames; /**< frames dropped because the ring was full */
    double seconds_analysed; /**< blocks × 512 / 44100 */
    double latency_seconds;  /**< audio pushed but not yet reflected, at publication */
} korvala_snapshot_stats;
KORVALA_C_EXPORT korvala_status korvala_snapshot_get_stats(const korvala_snapshot* snapshot,
                                                           korvala_snapshot_stats* stats);

/* ---- The felt layer (opt-in): felt tempo in a range, music gate, predicted beats ---- */

/** The felt values are numbered 0 … count − 1: "felt_BPM", "felt_Confidence",
 *  "felt_Pulse", "music_Playing", "music_Starts", "music_Stops",
 *  "beat_Phase", "beat_Predicted" (meanings: docs/components.md). */
KORVALA_C_EXPORT size_t korvala_felt_count(void);
/** The name of felt value `index` (static storage); NULL past the end. */
KORVALA_C_EXPORT const char* korvala_felt_name(size_t index);
KORVALA_C_EXPORT korvala_status korvala_felt_index(const char* name, size_t* index);
/** Frame thread, before the frames start (it allocates): adds the felt layer
 *  to the live engine, or replaces it. The felt tempo is placed inside
 *  [min_bpm, max_bpm] (40 <= min_bpm < max_bpm <= 250), `gate` nonzero turns
 *  the music gate on, beats are predicted `latency_ms` (0 to 1000) ahead;
 *  KORVALA_ERROR_RANGE otherwise. The "kor_" values are unchanged. */
KORVALA_C_EXPORT korvala_status korvala_live_enable_felt(korvala_live* live, float min_bpm,
                                                         float max_bpm, int gate, float latency_ms);
/** Felt value `index` (korvala_felt_index) in the snapshot;
 *  KORVALA_ERROR_NOT_ENABLED when the felt layer did not run for it. */
KORVALA_C_EXPORT korvala_status korvala_snapshot_felt(const korvala_snapshot* snapshot,
                                                      size_t index, float* value);

#ifdef __cplusplus
}
#endif

#endif /* KORVALA_CAPI_KORVALA_H */
