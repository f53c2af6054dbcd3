/* Every C entry point from a C program: error codes, NULL handling, and the
 * engine driven block by block (a usage example too). Compiled as C99. */
#include "korvala/capi/korvala.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

#define CHECK_STATUS(call, expected)                                                               \
    do {                                                                                           \
        korvala_status got_ = (call);                                                              \
        if (got_ != (expected)) {                                                                  \
            fprintf(stderr, "%s:%d: %s gave %d (%s), expected %d\n", __FILE__, __LINE__, #call,    \
                    (int)got_, korvala_strerror(got_), (int)(expected));                           \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static void count_call(void* user) {
    ++*(int*)user;
}

/* A quiet 110 Hz hum, then a loud 60 Hz thump with noise: a sharp change. */
static float test_signal(size_t n) {
    const double t = (double)n / 44100.0;
    if (t < 4.0) {
        return (float)(0.01 * sin(2.0 * 3.14159265358979 * 110.0 * t));
    }
    const double noise = (double)((n * 1103515245u + 12345u) % 65536u) / 32768.0 - 1.0;
    return (float)(0.9 * sin(2.0 * 3.14159265358979 * 60.0 * t) + 0.3 * noise);
}

static void status_texts(void) {
    const korvala_status all[] = {KORVALA_OK,
                                  KORVALA_ERROR_NULL,
                                  KORVALA_ERROR_RANGE,
                                  KORVALA_ERROR_UNKNOWN_NAME,
                                  KORVALA_ERROR_INDEX,
                                  KORVALA_ERROR_BUFFER_TOO_SMALL,
                                  KORVALA_ERROR_NO_MEMORY,
                                  KORVALA_ERROR_INTERNAL,
                                  KORVALA_ERROR_NO_FRAME,
                                  KORVALA_ERROR_NOT_ENABLED,
                                  (korvala_status)99};
    const size_t n = sizeof all / sizeof all[0];
    for (size_t i = 0; i < n; ++i) {
        const char* text = korvala_strerror(all[i]);
        CHECK(text != NULL && text[0] != '\0');
        for (size_t j = 0; j < i; ++j) {
            CHECK(strcmp(text, korvala_strerror(all[j])) != 0);
        }
    }
    CHECK(strcmp(korvala_version(), KORVALA_EXPECTED_VERSION) == 0);
}

static void null_handling(korvala_engine* engine) {
    float value = 0.0f;
    size_t size = 0;
    const char* name = NULL;
    const float block[4] = {0};
    float out[4];

    CHECK_STATUS(korvala_engine_create(NULL), KORVALA_ERROR_NULL);
    korvala_engine_destroy(NULL);
    korvala_engine* none = NULL;
    korvala_engine_destroy(&none);
    CHECK(none == NULL);

    korvala_live* live = NULL;
    korvala_snapshot* snapshot = NULL;
    korvala_snapshot_stats stats;
    const float* planar[2] = {block, NULL};
    CHECK_STATUS(korvala_live_create(&live, 44100.0, 2, 0, 60.0), KORVALA_OK);
    CHECK_STATUS(korvala_snapshot_create(&snapshot), KORVALA_OK);

    /* Each entry point with a NULL handle, then with a NULL pointer argument. */
    const korvala_status nulls[] = {
        korvala_scalar_index(NULL, &size),
        korvala_scalar_index("kor_BPM", NULL),
        korvala_vector_index(NULL, &size),
        korvala_vector_index("kor_Spectrum", NULL),
        korvala_engine_process(NULL, block, 4),
        korvala_engine_process(engine, NULL, 4),
        korvala_engine_process(engine, NULL, 0),
        korvala_engine_update(NULL, 0.016f),
        korvala_engine_reset(NULL),
        korvala_engine_set_random_seed(NULL, 1),
        korvala_engine_set_reactivity(NULL, 0.5f),
        korvala_engine_set_audio_speed(NULL, 0.5f),
        korvala_engine_get_reactivity(NULL, &value),
        korvala_engine_get_reactivity(engine, NULL),
        korvala_engine_get_audio_speed(NULL, &value),
        korvala_engine_get_audio_speed(engine, NULL),
        korvala_engine_scalar(NULL, 0, &value),
        korvala_engine_scalar(engine, 0, NULL),
        korvala_engine_vector(NULL, 0, out, 4, &size),
        korvala_engine_vector(engine, 0, NULL, 4, &size),
        korvala_engine_vector(engine, 0, out, 4, NULL),
        korvala_engine_set_transition_callback(NULL, count_call, NULL),
        korvala_live_create(NULL, 44100.0, 1, 0, 60.0),
        korvala_live_push_interleaved(NULL, block, 2),
        korvala_live_push_interleaved(live, NULL, 2),
        korvala_live_push_planar(NULL, planar, 2),
        korvala_live_push_planar(live, NULL, 2),
        korvala_live_push_planar(live, planar, 2), /* the second channel is NULL */
        korvala_live_frame(NULL, 0.016f),
        korvala_live_set_transition_callback(NULL, count_call, NULL),
        korvala_live_set_reactivity(NULL, 0.5f),
        korvala_live_set_audio_speed(NULL, 0.5f),
        korvala_snapshot_create(NULL),
        korvala_live_latest(NULL, snapshot),
        korvala_live_latest(live, NULL),
        korvala_snapshot_scalar(NULL, 0, &value),
        korvala_snapshot_scalar(snapshot, 0, NULL),
        korvala_snapshot_vector(NULL, 0, out, 4, &size),
        korvala_snapshot_vector(snapshot, 0, NULL, 4, &size),
        korvala_snapshot_vector(snapshot, 0, out, 4, NULL),
        korvala_snapshot_get_stats(NULL, &stats),
        korvala_snapshot_get_stats(snapshot, NULL),
        korvala_felt_index(NULL, &size),
        korvala_felt_index("felt_BPM", NULL),
        korvala_live_enable_felt(NULL, 80.0f, 160.0f, 1, 0.0f),
        korvala_snapshot_felt(NULL, 0, &value),
        korvala_snapshot_felt(snapshot, 0, NULL),
    };
    for (size_t i = 0; i < sizeof nulls / sizeof nulls[0]; ++i) {
        if (nulls[i] != KORVALA_ERROR_NULL) {
            fprintf(stderr, "NULL case %zu gave %d\n", i, (int)nulls[i]);
            ++failures;
        }
    }
    CHECK(name == NULL && size == 0 && value == 0.0f);
    korvala_live_destroy(NULL);
    korvala_live_destroy(&live);
    korvala_snapshot_destroy(NULL);
    korvala_snapshot_destroy(&snapshot);
    CHECK(live == NULL && snapshot == NULL);
}

static void names_and_indices(korvala_engine* engine) {
    const size_t scalars = korvala_scalar_count();
    const size_t vectors = korvala_vector_count();
    CHECK(scalars == 44 && vectors == 8);
    for (int kind = 0; kind < 2; ++kind) {
        const size_t count = kind == 0 ? scalars : vectors;
        for (size_t i = 0; i < count; ++i) {
            const char* name = kind == 0 ? korvala_scalar_name(i) : korvala_vector_name(i);
            size_t index = count;
            CHECK(name != NULL && strncmp(name, kind == 0 && i == 0 ? "TIME" : "kor_", 4) == 0);
            CHECK_STATUS(kind == 0 ? korvala_scalar_index(name, &index)
                                   : korvala_vector_index(name, &index),
                         KORVALA_OK);
            CHECK(index == i); /* so every name is distinct */
        }
        size_t index = 0;
        CHECK(kind == 0 ? korvala_scalar_name(count) == NULL : korvala_vector_name(count) == NULL);
        /* Names are exact: another case or the other kind is unknown. */
        CHECK_STATUS(kind == 0 ? korvala_scalar_index("kor_bpm", &index)
                               : korvala_vector_index("kor_BPM", &index),
                     KORVALA_ERROR_UNKNOWN_NAME);
        CHECK(index == 0);
    }
    size_t spectrum = 0;
    size_t series = 0;
    CHECK_STATUS(korvala_vector_index("kor_Spectrum", &spectrum), KORVALA_OK);
    CHECK_STATUS(korvala_vector_index("kor_TimeSeries", &series), KORVALA_OK);
    CHECK(korvala_vector_length(spectrum) == 1024 && korvala_vector_length(series) == 400 &&
          korvala_vector_length(vectors) == 0);

    float value = 0.0f;
    float out[1];
    size_t length = 0;
    CHECK_STATUS(korvala_engine_scalar(engine, scalars, &value), KORVALA_ERROR_INDEX);
    CHECK_STATUS(korvala_engine_vector(engine, vectors, out, 1, &length), KORVALA_ERROR_INDEX);
}

static void user_controls(korvala_engine* engine) {
    /* set value, expected reading: clamped to [0, 1], NaN ignored */
    const float cases[][2] = {
        {0.25f, 0.25f}, {2.0f, 1.0f}, {-1.0f, 0.0f}, {NAN, 0.0f}, {0.5f, 0.5f}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        float reactivity = -1.0f;
        float speed = -1.0f;
        CHECK_STATUS(korvala_engine_set_reactivity(engine, cases[i][0]), KORVALA_OK);
        CHECK_STATUS(korvala_engine_set_audio_speed(engine, cases[i][0]), KORVALA_OK);
        CHECK_STATUS(korvala_engine_get_reactivity(engine, &reactivity), KORVALA_OK);
        CHECK_STATUS(korvala_engine_get_audio_speed(engine, &speed), KORVALA_OK);
        CHECK(reactivity == cases[i][1] && speed == cases[i][1]);
    }
}

static void run_engine(korvala_engine* engine) {
    size_t level = 0;
    size_t time = 0;
    size_t spectrum = 0;
    CHECK_STATUS(korvala_scalar_index("kor_InputLevel", &level), KORVALA_OK);
    CHECK_STATUS(korvala_scalar_index("TIME", &time), KORVALA_OK);
    CHECK_STATUS(korvala_vector_index("kor_Spectrum", &spectrum), KORVALA_OK);

    float block[2049];
    CHECK_STATUS(korvala_engine_process(engine, block, 2049), KORVALA_ERROR_RANGE);

    int transitions = 0;
    CHECK_STATUS(korvala_engine_set_random_seed(engine, 1), KORVALA_OK);
    CHECK_STATUS(korvala_engine_set_transition_callback(engine, count_call, &transitions),
                 KORVALA_OK);
    float quiet = 0.0f;
    float loud = 0.0f;
    size_t n = 0;
    for (int frame = 0; frame < 8 * 60; ++frame) { /* 8 s at 60 frames per second */
        while (n + 512 <= (size_t)(frame + 1) * 44100 / 60) {
            for (size_t i = 0; i < 512; ++i) {
                block[i] = test_signal(n + i);
            }
            CHECK_STATUS(korvala_engine_process(engine, block, 512), KORVALA_OK);
            n += 512;
        }
        CHECK_STATUS(korvala_engine_update(engine, 1.0f / 60.0f), KORVALA_OK);
        CHECK_STATUS(korvala_engine_scalar(engine, level, frame < 4 * 60 ? &quiet : &loud),
                     KORVALA_OK);
    }
    CHECK(quiet < 0.02f && loud > 1.0f); /* the input level follows the signal */
    CHECK(transitions >= 1);
    const int seen = transitions;
    CHECK_STATUS(korvala_engine_set_transition_callback(engine, NULL, NULL), KORVALA_OK);

    /* The vector: a length query, a buffer one short, an exact buffer. */
    size_t length = 0;
    CHECK_STATUS(korvala_engine_vector(engine, spectrum, NULL, 0, &length),
                 KORVALA_ERROR_BUFFER_TOO_SMALL);
    CHECK(length == korvala_vector_length(spectrum));
    float* values = malloc(length * sizeof *values);
    CHECK(values != NULL);
    size_t got = 0;
    values[0] = -1.0f;
    CHECK_STATUS(korvala_engine_vector(engine, spectrum, values, length - 1, &got),
                 KORVALA_ERROR_BUFFER_TOO_SMALL);
    CHECK(got == length && values[0] == -1.0f);
    CHECK_STATUS(korvala_engine_vector(engine, spectrum, values, length, &got), KORVALA_OK);
    int finite = 1;
    for (size_t i = 0; i < got; ++i) {
        finite = finite && isfinite(values[i]) && values[i] >= 0.0f;
    }
    CHECK(got == length && finite);
    free(values);

    /* Reset restarts the clock; updates without a callback call nothing. */
    float clock = 0.0f;
    CHECK_STATUS(korvala_engine_scalar(engine, time, &clock), KORVALA_OK);
    CHECK(clock > 0.0f);
    CHECK_STATUS(korvala_engine_reset(engine), KORVALA_OK);
    CHECK_STATUS(korvala_engine_scalar(engine, time, &clock), KORVALA_OK);
    CHECK(clock == 0.0f);
    for (int frame = 0; frame < 60; ++frame) {
        CHECK_STATUS(korvala_engine_process(engine, block, 512), KORVALA_OK);
        CHECK_STATUS(korvala_engine_update(engine, 1.0f / 60.0f), KORVALA_OK);
    }
    CHECK(transitions == seen);
}

/* 48 kHz stereo in 480-frame callbacks, half interleaved and half planar. */
static void run_live(void) {
    korvala_live* live = NULL;
    const double bad[][3] = {{7999.0, 1, 60},   {384001.0, 1, 60}, {48000.0, 0, 60},
                             {48000.0, 33, 60}, {48000.0, 2, 0},   {48000.0, 2, 1001}};
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        CHECK_STATUS(korvala_live_create(&live, bad[i][0], (int)bad[i][1], 0, bad[i][2]),
                     KORVALA_ERROR_RANGE);
        CHECK(live == NULL);
    }
    korvala_snapshot* snapshot = NULL;
    CHECK_STATUS(korvala_live_create(&live, 48000.0, 2, 0, 60.0), KORVALA_OK);
    CHECK_STATUS(korvala_snapshot_create(&snapshot), KORVALA_OK);
    if (live == NULL || snapshot == NULL) {
        return;
    }
    CHECK_STATUS(korvala_live_latest(live, snapshot), KORVALA_ERROR_NO_FRAME);
    /* The felt layer: a range upside down, a negative latency, then on with its gate. */
    CHECK_STATUS(korvala_live_enable_felt(live, 160.0f, 80.0f, 1, 0.0f), KORVALA_ERROR_RANGE);
    CHECK_STATUS(korvala_live_enable_felt(live, 80.0f, 160.0f, 1, -5.0f), KORVALA_ERROR_RANGE);
    CHECK_STATUS(korvala_live_enable_felt(live, 80.0f, 160.0f, 1, 50.0f), KORVALA_OK);
    int transitions = 0;
    CHECK_STATUS(korvala_live_set_transition_callback(live, count_call, &transitions), KORVALA_OK);
    CHECK_STATUS(korvala_live_set_reactivity(live, 0.7f), KORVALA_OK);
    CHECK_STATUS(korvala_live_set_audio_speed(live, 0.3f), KORVALA_OK);

    float interleaved[2 * 480];
    float left[480];
    float right[480];
    const float* planar[2] = {left, right};
    const size_t callbacks = 8 * 100; /* 8 s */
    for (size_t c = 0; c < callbacks; ++c) {
        for (size_t i = 0; i < 480; ++i) {
            const float x = test_signal((c * 480 + i) * 44100 / 48000);
            interleaved[2 * i] = interleaved[2 * i + 1] = left[i] = right[i] = x;
        }
        CHECK_STATUS(c % 2 == 0 ? korvala_live_push_interleaved(live, interleaved, 480)
                                : korvala_live_push_planar(live, planar, 480),
                     KORVALA_OK);
        if (c % 5 == 4) { /* 2400 frames: one 50 Hz frame */
            CHECK_STATUS(korvala_live_frame(live, 1.0f / 50.0f), KORVALA_OK);
        }
    }
    korvala_snapshot_stats stats;
    CHECK_STATUS(korvala_live_latest(live, snapshot), KORVALA_OK);
    CHECK_STATUS(korvala_snapshot_get_stats(snapshot, &stats), KORVALA_OK);
    CHECK(stats.frames == callbacks / 5 && stats.input_frames == callbacks * 480);
    CHECK(stats.dropped_frames == 0 && stats.blocks > 600 && stats.blocks <= 8 * 44100 / 512);
    CHECK(stats.seconds_analysed == (double)stats.blocks * 512.0 / 44100.0);
    CHECK(stats.latency_seconds >= 0.0 && stats.latency_seconds < 0.1);
    CHECK(stats.transitions == (uint64_t)transitions);

    size_t level = 0;
    size_t spectrum = 0;
    float value = 0.0f;
    CHECK_STATUS(korvala_scalar_index("kor_InputLevel", &level), KORVALA_OK);
    CHECK_STATUS(korvala_vector_index("kor_Spectrum", &spectrum), KORVALA_OK);
    CHECK_STATUS(korvala_snapshot_scalar(snapshot, level, &value), KORVALA_OK);
    CHECK(value > 1.0f);
    CHECK_STATUS(korvala_snapshot_scalar(snapshot, korvala_scalar_count(), &value),
                 KORVALA_ERROR_INDEX);
    size_t length = 0;
    CHECK_STATUS(korvala_snapshot_vector(snapshot, spectrum, NULL, 0, &length),
                 KORVALA_ERROR_BUFFER_TOO_SMALL);
    CHECK(length == korvala_vector_length(spectrum));
    CHECK_STATUS(korvala_snapshot_vector(snapshot, korvala_vector_count(), NULL, 0, &length),
                 KORVALA_ERROR_INDEX);
    float* values = malloc(length * sizeof *values);
    CHECK(values != NULL);
    CHECK_STATUS(korvala_snapshot_vector(snapshot, spectrum, values, length, &length), KORVALA_OK);
    free(values);

    /* The felt values by name: a tempo inside the range, the gate open on the hum and thump. */
    size_t felt_bpm = 0;
    size_t playing = 0;
    CHECK(korvala_felt_count() == 8 && korvala_felt_name(8) == NULL);
    CHECK_STATUS(korvala_felt_index("felt_BPM", &felt_bpm), KORVALA_OK);
    CHECK_STATUS(korvala_felt_index("music_Playing", &playing), KORVALA_OK);
    CHECK_STATUS(korvala_felt_index("kor_BPM", &level), KORVALA_ERROR_UNKNOWN_NAME);
    CHECK(strcmp(korvala_felt_name(playing), "music_Playing") == 0);
    CHECK_STATUS(korvala_snapshot_felt(snapshot, felt_bpm, &value), KORVALA_OK);
    CHECK(value >= 80.0f && value <= 160.0f);
    CHECK_STATUS(korvala_snapshot_felt(snapshot, playing, &value), KORVALA_OK);
    CHECK(value == 1.0f);
    CHECK_STATUS(korvala_snapshot_felt(snapshot, 8, &value), KORVALA_ERROR_INDEX);

    /* A ring of 4096 frames overfilled before a frame drops the excess, counted. */
    korvala_live_destroy(&live);
    CHECK_STATUS(korvala_live_create(&live, 44100.0, 1, 4096, 60.0), KORVALA_OK);
    for (int c = 0; c < 10; ++c) {
        CHECK_STATUS(korvala_live_push_interleaved(live, left, 480), KORVALA_OK);
    }
    CHECK_STATUS(korvala_live_frame(live, 1.0f / 60.0f), KORVALA_OK);
    CHECK_STATUS(korvala_live_latest(live, snapshot), KORVALA_OK);
    CHECK_STATUS(korvala_snapshot_get_stats(snapshot, &stats), KORVALA_OK);
    CHECK(stats.dropped_frames + stats.input_frames == 4800 && stats.dropped_frames > 0);
    CHECK_STATUS(korvala_snapshot_felt(snapshot, 0, &value), KORVALA_ERROR_NOT_ENABLED);
    korvala_live_destroy(&live);
    korvala_snapshot_destroy(&snapshot);
    CHECK(live == NULL && snapshot == NULL);
}

int main(void) {
    status_texts();
    korvala_engine* engine = NULL;
    CHECK_STATUS(korvala_engine_create(&engine), KORVALA_OK);
    if (engine == NULL) {
        return 1;
    }
    null_handling(engine);
    names_and_indices(engine);
    user_controls(engine);
    run_engine(engine);
    run_live();
    korvala_engine_destroy(&engine);
    CHECK(engine == NULL);
    if (failures > 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("capi_test: all checks passed\n");
    return 0;
}
