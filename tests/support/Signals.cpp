#include "tests/support/Signals.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace korvala::test {

namespace {
constexpr double kPi = 3.14159265358979323846;

std::size_t sampleCount(double seconds, double rate = kSampleRate) {
    return static_cast<std::size_t>(std::llround(seconds * rate));
}

// A small, fixed linear congruential generator: identical noise everywhere.
class Lcg {
public:
    explicit Lcg(unsigned seed) : state_(seed) {}
    float next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 24) * 2.0f - 1.0f;
    }

private:
    std::uint32_t state_;
};
} // namespace

std::vector<float> sine(double hz, double seconds, float amplitude) {
    std::vector<float> out(sampleCount(seconds));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = amplitude * static_cast<float>(
                                 std::sin(2.0 * kPi * hz * static_cast<double>(i) / kSampleRate));
    }
    return out;
}

std::vector<float> silence(double seconds) {
    return std::vector<float>(sampleCount(seconds), 0.0f);
}

std::vector<float> noise(double seconds, float amplitude, unsigned seed) {
    std::vector<float> out(sampleCount(seconds));
    Lcg lcg(seed);
    for (float& v : out) {
        v = amplitude * lcg.next();
    }
    return out;
}

std::vector<float> uniformValues(std::size_t count, float low, float high, unsigned seed) {
    std::vector<float> out(count);
    Lcg lcg(seed);
    for (float& v : out) {
        v = low + (lcg.next() + 1.0f) * 0.5f * (high - low);
    }
    return out;
}

std::vector<std::vector<float>> awkwardSpectra() {
    std::vector<float> wide = uniformValues(1024, 0.0f, 1.0f, 7);
    for (std::size_t k = 0; k < wide.size(); ++k) {
        wide[k] *= static_cast<float>(1u << (k % 24));
    }
    std::vector<float> broken = uniformValues(1024, 0.0f, 3.0f, 8);
    broken[5] = std::numeric_limits<float>::quiet_NaN();
    broken[700] = std::numeric_limits<float>::infinity();
    return {wide, std::vector<float>(1024, 0.0f), broken};
}

namespace {
void addKick(std::vector<float>& out, std::size_t start, double rate = kSampleRate) {
    const std::size_t length = sampleCount(0.25, rate);
    for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = std::exp(-t * 18.0);
        const double freq = 55.0 + 90.0 * std::exp(-t * 40.0);
        out[start + i] += static_cast<float>(0.9 * envelope * std::sin(2.0 * kPi * freq * t));
    }
}

void addHat(std::vector<float>& out, std::size_t start, Lcg& lcg, double rate = kSampleRate) {
    const std::size_t length = sampleCount(0.05, rate);
    for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        out[start + i] += static_cast<float>(0.25 * std::exp(-t * 90.0)) * lcg.next();
    }
}
void addSnare(std::vector<float>& out, std::size_t start, Lcg& lcg) {
    const std::size_t length = sampleCount(0.15);
    for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double envelope = std::exp(-t * 30.0);
        out[start + i] += static_cast<float>(
            envelope * (0.3 * std::sin(2.0 * kPi * 190.0 * t) + 0.4 * lcg.next()));
    }
}
} // namespace

std::vector<float> groove(double backbeatBPM, double hatBPM, double seconds) {
    std::vector<float> out(sampleCount(seconds), 0.0f);
    Lcg lcg(11);
    const double hit = 60.0 / backbeatBPM;
    int n = 0;
    for (double t = 0.0; t < seconds; t += hit, ++n) {
        if (n % 2 == 0) {
            addKick(out, sampleCount(t));
        } else {
            addSnare(out, sampleCount(t), lcg);
        }
    }
    for (double t = 0.0; t < seconds; t += 60.0 / hatBPM) {
        addHat(out, sampleCount(t), lcg);
    }
    return out;
}

std::vector<float> clickTrack(double bpm, double seconds, double firstBeat) {
    std::vector<float> out(sampleCount(seconds), 0.0f);
    const std::size_t length = sampleCount(0.001);
    for (double t = firstBeat; t < seconds; t += 60.0 / bpm) {
        const std::size_t start = sampleCount(t);
        for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
            out[start + i] = static_cast<float>(
                0.8 * std::sin(2.0 * kPi * 2000.0 * static_cast<double>(i) / kSampleRate));
        }
    }
    return out;
}

std::vector<float> kickPattern(double bpm, double seconds) {
    std::vector<float> out(sampleCount(seconds), 0.0f);
    const double beat = 60.0 / bpm;
    for (double t = 0.0; t < seconds; t += beat) {
        addKick(out, sampleCount(t));
    }
    return out;
}

std::vector<float> kickHatPattern(double bpm, double seconds) {
    std::vector<float> out = kickPattern(bpm, seconds);
    Lcg lcg(7);
    const double beat = 60.0 / bpm;
    for (double t = beat / 2.0; t < seconds; t += beat) {
        addHat(out, sampleCount(t), lcg);
    }
    return out;
}

std::vector<float> kickHatPatternAtRate(double sampleRate, double bpm, double seconds) {
    std::vector<float> out(sampleCount(seconds, sampleRate), 0.0f);
    Lcg lcg(7);
    const double beat = 60.0 / bpm;
    for (double t = 0.0; t < seconds; t += beat) {
        addKick(out, sampleCount(t, sampleRate), sampleRate);
    }
    for (double t = beat / 2.0; t < seconds; t += beat) {
        addHat(out, sampleCount(t, sampleRate), lcg, sampleRate);
    }
    return out;
}

std::vector<float> binSine(std::size_t k, std::size_t n) {
    std::vector<float> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        out[j] = static_cast<float>(
            std::sin(2.0 * kPi * static_cast<double>(k * j % n) / static_cast<double>(n)));
    }
    return out;
}

std::vector<float> binCosine(std::size_t k, std::size_t n) {
    std::vector<float> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        out[j] = static_cast<float>(
            std::cos(2.0 * kPi * static_cast<double>(k * j % n) / static_cast<double>(n)));
    }
    return out;
}

std::vector<float> nyquistAlternating(std::size_t n) {
    std::vector<float> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        out[j] = j % 2 == 0 ? 1.0f : -1.0f;
    }
    return out;
}

std::vector<float> ramp(std::size_t n, float start, float step) {
    std::vector<float> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        out[j] = start + static_cast<float>(j) * step;
    }
    return out;
}

std::vector<float> levelCurve(double cycles, std::size_t n, double depth) {
    std::vector<float> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        out[j] =
            static_cast<float>(1.0 + depth * std::cos(2.0 * kPi * cycles * static_cast<double>(j) /
                                                      static_cast<double>(n)));
    }
    return out;
}

std::vector<std::vector<float>> blocks(const std::vector<float>& signal, std::size_t blockSize) {
    std::vector<std::vector<float>> out;
    for (std::size_t start = 0; start + blockSize <= signal.size(); start += blockSize) {
        out.emplace_back(signal.begin() + static_cast<std::ptrdiff_t>(start),
                         signal.begin() + static_cast<std::ptrdiff_t>(start + blockSize));
    }
    return out;
}

std::vector<float> sineAtRate(double sampleRate, double hz, double seconds, float amplitude) {
    std::vector<float> out(static_cast<std::size_t>(std::llround(seconds * sampleRate)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = amplitude *
                 static_cast<float>(std::sin(2.0 * kPi * hz * static_cast<double>(i) / sampleRate));
    }
    return out;
}

} // namespace korvala::test
