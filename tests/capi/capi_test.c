/* Every C entry point from a C program: error codes, NULL handling, and the
 * engine driven block by block (a usage example too). Compiled as C99. */
#include "korvala/capi/korvala.h"

#include <math.h>
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

    /* Each entry point with a NULL handle, then with a NULL pointer argument. */
    const korvala_status nulls[] = {
        korvala_engine_process(NULL, block, 4),
        korvala_engine_process(engine, NULL, 4),
        korvala_engine_process(engine, NULL, 0),
        korvala_engine_update(NULL, 0.016f),
        korvala_engine_reset(NULL),
        korvala_engine_set_reactivity(NULL, 0.5f),
        korvala_engine_set_audio_speed(NULL, 0.5f),
        korvala_engine_get_reactivity(NULL, &value),
        korvala_engine_get_reactivity(engine, NULL),
        korvala_engine_get_audio_speed(NULL, &value),
        korvala_engine_get_audio_speed(engine, NULL),
        korvala_engine_scalar_count(NULL, &size),
        korvala_engine_scalar_count(engine, NULL),
        korvala_engine_scalar_name(NULL, 0, &name),
        korvala_engine_scalar_name(engine, 0, NULL),
        korvala_engine_scalar_index(NULL, "kor_BPM", &size),
        korvala_engine_scalar_index(engine, NULL, &size),
        korvala_engine_scalar_index(engine, "kor_BPM", NULL),
        korvala_engine_scalar(NULL, 0, &value),
        korvala_engine_scalar(engine, 0, NULL),
        korvala_engine_vector_count(NULL, &size),
        korvala_engine_vector_count(engine, NULL),
        korvala_engine_vector_name(NULL, 0, &name),
        korvala_engine_vector_name(engine, 0, NULL),
        korvala_engine_vector_index(NULL, "kor_Spectrum", &size),
        korvala_engine_vector_index(engine, NULL, &size),
        korvala_engine_vector_index(engine, "kor_Spectrum", NULL),
        korvala_engine_vector(NULL, 0, out, 4, &size),
        korvala_engine_vector(engine, 0, NULL, 4, &size),
        korvala_engine_vector(engine, 0, out, 4, NULL),
        korvala_engine_set_transition_callback(NULL, count_call, NULL),
    };
    for (size_t i = 0; i < sizeof nulls / sizeof nulls[0]; ++i) {
        if (nulls[i] != KORVALA_ERROR_NULL) {
            fprintf(stderr, "NULL case %zu gave %d\n", i, (int)nulls[i]);
            ++failures;
        }
    }
    CHECK(name == NULL && size == 0 && value == 0.0f);
}

static void names_and_indices(korvala_engine* engine) {
    size_t scalars = 0;
    size_t vectors = 0;
    CHECK_STATUS(korvala_engine_scalar_count(engine, &scalars), KORVALA_OK);
    CHECK_STATUS(korvala_engine_vector_count(engine, &vectors), KORVALA_OK);
    CHECK(scalars == 44 && vectors == 8);

    for (int kind = 0; kind < 2; ++kind) {
        const size_t count = kind == 0 ? scalars : vectors;
        const char* previous = "";
        for (size_t i = 0; i < count; ++i) {
            const char* name = NULL;
            size_t index = count;
            CHECK_STATUS(kind == 0 ? korvala_engine_scalar_name(engine, i, &name)
                                   : korvala_engine_vector_name(engine, i, &name),
                         KORVALA_OK);
            CHECK(name != NULL && strcmp(previous, name) < 0); /* byte-wise ascending */
            CHECK_STATUS(kind == 0 ? korvala_engine_scalar_index(engine, name, &index)
                                   : korvala_engine_vector_index(engine, name, &index),
                         KORVALA_OK);
            CHECK(index == i);
            previous = name;
        }
        const char* name = NULL;
        size_t index = 0;
        CHECK_STATUS(kind == 0 ? korvala_engine_scalar_name(engine, count, &name)
                               : korvala_engine_vector_name(engine, count, &name),
                     KORVALA_ERROR_INDEX);
        /* Names are exact: another case or the other kind is unknown. */
        CHECK_STATUS(kind == 0 ? korvala_engine_scalar_index(engine, "kor_bpm", &index)
                               : korvala_engine_vector_index(engine, "kor_BPM", &index),
                     KORVALA_ERROR_UNKNOWN_NAME);
        CHECK(name == NULL && index == 0);
    }
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
    CHECK_STATUS(korvala_engine_scalar_index(engine, "kor_InputLevel", &level), KORVALA_OK);
    CHECK_STATUS(korvala_engine_scalar_index(engine, "TIME", &time), KORVALA_OK);
    CHECK_STATUS(korvala_engine_vector_index(engine, "kor_Spectrum", &spectrum), KORVALA_OK);

    float block[2049];
    CHECK_STATUS(korvala_engine_process(engine, block, 2049), KORVALA_ERROR_RANGE);

    int transitions = 0;
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
    CHECK(length > 1);
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
    korvala_engine_destroy(&engine);
    CHECK(engine == NULL);
    if (failures > 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("capi_test: all checks passed\n");
    return 0;
}
