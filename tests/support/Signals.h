#pragma once

// Generated test signals, named by what they contain. Shared by every test;
// all are mono, 44100 Hz, deterministic.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace korvala::test {

constexpr double kSampleRate = 44100.0;

/// A sine of the given frequency and amplitude.
std::vector<float> sine(double hz, double seconds, float amplitude = 1.0f);
/// Digital silence.
std::vector<float> silence(double seconds);
/// Deterministic white noise in [−amplitude, amplitude] (fixed seed).
std::vector<float> noise(double seconds, float amplitude, unsigned seed = 1);
/// A decaying 55 Hz kick drum on every beat.
std::vector<float> kickPattern(double bpm, double seconds);
/// Kicks on the beat plus short noise hats on the off-beats.
std::vector<float> kickHatPattern(double bpm, double seconds);
/// The same pattern sampled at another rate (for the live layer's resampling).
std::vector<float> kickHatPatternAtRate(double sampleRate, double bpm, double seconds);
/// A drum groove: kick and snare alternating at `backbeatBPM` (the hits a
/// listener counts), short hats at `hatBPM`. A half-time feel has hats at twice
/// the backbeat rate, a double-time feel a backbeat at twice the song's tempo.
std::vector<float> groove(double backbeatBPM, double hatBPM, double seconds);
/// 1 ms clicks (a 2 kHz burst) at firstBeat, firstBeat + 60/bpm, …
std::vector<float> clickTrack(double bpm, double seconds, double firstBeat);

/// n samples of a unit sine (or cosine) completing exactly k cycles: it sits
/// exactly on bin k of an n-point FFT.
std::vector<float> binSine(std::size_t k, std::size_t n);
std::vector<float> binCosine(std::size_t k, std::size_t n);
/// n samples alternating +1, −1 (the Nyquist frequency).
std::vector<float> nyquistAlternating(std::size_t n);
/// n samples start, start + step, start + 2·step, …: every sample tells where
/// it came from.
std::vector<float> ramp(std::size_t n, float start, float step = 1.0f);
/// A positive level curve 1 + depth·cos, completing `cycles` cycles over n values.
std::vector<float> levelCurve(double cycles, std::size_t n, double depth = 0.5);
/// Deterministic values spread uniformly over [low, high] (fixed seed), for
/// hand-set feature vectors such as band levels.
std::vector<float> uniformValues(std::size_t count, float low, float high, unsigned seed = 1);
/// Three power spectra of 1024 bins that catch a sum done in another order:
/// one spread over many orders of magnitude (every reordering rounds
/// differently), one silent, one with a NaN and an infinite bin.
std::vector<std::vector<float>> awkwardSpectra();
/// A sine sampled at another rate than the engine's (for resampling tests).
std::vector<float> sineAtRate(double sampleRate, double hz, double seconds, float amplitude = 1.0f);

/// Splits a signal into consecutive blocks (a final partial block is dropped).
std::vector<std::vector<float>> blocks(const std::vector<float>& signal, std::size_t blockSize);

/// The bits of a float, for bit-for-bit comparisons.
inline std::uint32_t bitsOf(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

} // namespace korvala::test
