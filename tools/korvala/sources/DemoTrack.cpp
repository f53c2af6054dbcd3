#include "tools/korvala/sources/DemoTrack.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace korvala::cli {

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int kTableBits = 12;
constexpr std::uint32_t kTableSize = 1u << kTableBits;

// One sine cycle, linearly interpolated; the phase is a 32-bit fraction of a cycle.
class SineTable {
public:
    SineTable() {
        std::array<double, kTableSize + 1> sines{};
        for (std::uint32_t i = 0; i <= kTableSize; ++i) {
            sines[i] = std::sin(kTwoPi * i / kTableSize);
        }
        // Each entry with the step to the next one, so that a lookup reads
        // one pair; the step is the same difference the interpolation takes.
        for (std::uint32_t i = 0; i < kTableSize; ++i) {
            table_[i] = {sines[i], sines[i + 1] - sines[i]};
        }
    }
    double operator()(std::uint32_t phase) const {
        const Entry& e = table_[phase >> (32 - kTableBits)];
        // The fraction is exact, and multiplying by 2^-20 is exactly dividing by 2^20.
        const double frac = static_cast<double>(phase & ((1u << (32 - kTableBits)) - 1)) *
                            (1.0 / double(1u << (32 - kTableBits)));
        return e.value + e.step * frac;
    }

private:
    struct Entry {
        double value;
        double step;
    };
    std::array<Entry, kTableSize> table_{};
};

std::uint32_t phaseStep(double hz, int sampleRate) {
    return static_cast<std::uint32_t>(std::llround(hz / sampleRate * 4294967296.0));
}

// A fixed linear congruential generator in [−1, 1).
struct Noise {
    std::uint32_t state = 0x2545F491u;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / double(1u << 23) - 1.0;
    }
};

// A decay envelope e^(−t/τ) tabulated over its audible length.
class DecayTable {
public:
    DecayTable(double tau, double seconds, int sampleRate)
        : values_(static_cast<std::size_t>(seconds * sampleRate)) {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            values_[i] = std::exp(-static_cast<double>(i) / sampleRate / tau);
        }
    }
    double at(std::size_t i) const { return i < values_.size() ? values_[i] : 0.0; }

private:
    std::vector<double> values_;
};

// Bar-by-bar chords (A minor, F, C, G): root of the bass and the pad's triad in Hz.
constexpr std::array<double, 4> kBassRoots = {55.0, 43.654, 65.406, 48.999};
constexpr std::array<std::array<double, 3>, 4> kPadChords = {{{220.0, 261.63, 329.63},
                                                              {174.61, 220.0, 261.63},
                                                              {261.63, 329.63, 392.0},
                                                              {196.0, 246.94, 293.66}}};
// Eighth-note bass pattern: octave jumps on the off-beats.
constexpr std::array<double, 8> kBassPattern = {1, 2, 1, 2, 1, 2, 1.5, 2};
} // namespace

std::vector<float> DemoTrack::render(int sampleRate, double seconds, int channels) {
    const SineTable sine;
    const DecayTable kickEnv(0.09, 0.6, sampleRate);
    const DecayTable hatEnv(0.012, 0.08, sampleRate);
    const DecayTable bassEnv(0.08, 0.25, sampleRate);
    const DecayTable crashEnv(0.5, 2.5, sampleRate);
    Noise noise;

    // Oscillator steps are fixed per bar (and per sample of a kick), so they are
    // tabulated once instead of being rounded in the sample loop.
    std::vector<std::uint32_t> kickSteps(static_cast<std::size_t>(0.6 * sampleRate));
    for (std::size_t n = 0; n < kickSteps.size(); ++n) {
        kickSteps[n] = phaseStep(50.0 + 100.0 * kickEnv.at(n * 3), sampleRate);
    }
    const std::uint32_t kickRestStep = phaseStep(50.0, sampleRate);
    std::array<std::array<std::uint32_t, 8>, 4> bassSteps{};
    std::array<std::array<std::uint32_t, 3>, 4> padSteps{};
    for (std::size_t bar = 0; bar < 4; ++bar) {
        for (std::size_t e = 0; e < 8; ++e) {
            bassSteps[bar][e] = phaseStep(kBassRoots[bar] * kBassPattern[e], sampleRate);
        }
        for (std::size_t n = 0; n < 3; ++n) {
            padSteps[bar][n] = phaseStep(kPadChords[bar][n], sampleRate);
        }
    }

    const std::size_t frames = static_cast<std::size_t>(std::llround(seconds * sampleRate));
    const double eighthSamples = 30.0 / kBpm * sampleRate;
    const std::size_t breakdown = static_cast<std::size_t>(kBreakdownStart * sampleRate);
    const std::size_t drop = static_cast<std::size_t>(kDropStart * sampleRate);
    // Eighth e starts at sample ceil(e × eighthSamples); beats are the even eighths.
    auto eighthStart = [&](std::size_t e) {
        return static_cast<std::size_t>(std::ceil(static_cast<double>(e) * eighthSamples));
    };

    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    std::uint32_t kickPhase = 0;
    std::uint32_t bassPhase = 0;
    std::array<std::uint32_t, 3> padPhase{};
    double previousNoise = 0.0;
    std::size_t eighth = 0;
    std::size_t sinceEighth = 0;
    std::size_t sinceBeat = 0;
    std::size_t nextEighth = eighthStart(1);

    // Segment by segment: within an eighth (cut at the breakdown and the
    // drop) the bar, the drums, the gains and the oscillator steps are fixed.
    for (std::size_t i = 0; i < frames;) {
        if (i == nextEighth) {
            ++eighth;
            nextEighth = eighthStart(eighth + 1);
            sinceEighth = 0;
            if (eighth % 2 == 0) {
                sinceBeat = 0;
            }
        }
        std::size_t end = std::min(nextEighth, frames);
        if (i < breakdown) {
            end = std::min(end, breakdown);
        } else if (i < drop) {
            end = std::min(end, drop);
        }
        const std::size_t bar = (eighth / 8) % 4;
        const bool drums = i < breakdown || i >= drop;
        const bool crashing = i >= drop;
        const double gain = crashing ? 0.6 : 0.42;
        const bool hats = drums && eighth % 2 == 1;
        const std::uint32_t bassStep = bassSteps[bar][eighth % 8];
        const std::array<std::uint32_t, 3>& padStep = padSteps[bar];
        const double padGain = drums ? 0.05 : 0.09;

        for (; i < end; ++i) {
            // Kick: a sine gliding from 150 Hz to 50 Hz under a fast decay.
            double kick = 0.0;
            if (drums) {
                kickPhase += sinceBeat < kickSteps.size() ? kickSteps[sinceBeat] : kickRestStep;
                kick = 0.9 * kickEnv.at(sinceBeat) * sine(kickPhase);
            }
            // Hats: differentiated noise (bright) on every off-beat eighth.
            const double white = noise.next();
            const double bright = white - previousNoise;
            previousNoise = white;
            double hat = 0.0;
            if (hats) {
                hat = 0.18 * hatEnv.at(sinceEighth) * bright;
            }
            // Bass: root (or its octave) with two harmonics, plucked per eighth.
            double bass = 0.0;
            if (drums) {
                bassPhase += bassStep;
                bass = 0.35 * bassEnv.at(sinceEighth) *
                       (sine(bassPhase) + 0.5 * sine(bassPhase * 2u) + 0.25 * sine(bassPhase * 3u));
            }
            // Pad: the bar's triad, louder while the drums rest.
            double pad = 0.0;
            for (std::size_t n = 0; n < 3; ++n) {
                padPhase[n] += padStep[n];
                pad += sine(padPhase[n]);
            }
            pad *= padGain;
            // A crash marks the drop.
            double crash = 0.0;
            if (crashing) {
                crash = 0.3 * crashEnv.at(i - drop) * white;
            }

            const double centre = gain * (kick + bass + pad + crash);
            const std::size_t base = i * static_cast<std::size_t>(channels);
            if (channels == 1) {
                out[base] = static_cast<float>(centre + gain * hat);
            } else {
                for (int c = 0; c < channels; ++c) {
                    const double pan = (c % 2 == 0) ? 1.2 : 0.8;
                    out[base + static_cast<std::size_t>(c)] =
                        static_cast<float>(centre + gain * pan * hat);
                }
            }
            ++sinceEighth;
            ++sinceBeat;
        }
    }
    return out;
}

} // namespace korvala::cli
