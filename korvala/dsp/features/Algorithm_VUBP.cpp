#include "korvala/dsp/features/Algorithm_VUBP.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

// A position no int can hold (from a zero, negative or non-finite sample
// rate) is rejected rather than converted.
std::int32_t Algorithm_VUBP::edgeBin(float position) {
    if (!(position > -2147483648.0f && position < 2147483648.0f)) {
        throw std::out_of_range("Algorithm_VUBP: band edge is not a valid bin");
    }
    return static_cast<std::int32_t>(position);
}

void Algorithm_VUBP::transform(std::vector<float> power, Band band, float sampleRate, float* out) {
    *out = compute(power.data(), power.size(), band, sampleRate);
}

float Algorithm_VUBP::compute(const float* power, std::size_t n, Band band, float sampleRate) {
    const float width = sampleRate / static_cast<float>(2 * n);
    const float low = static_cast<float>(band.low);
    const float high = static_cast<float>(band.high);
    const std::int32_t lowBin = edgeBin(low / width);
    const std::int32_t highBin = edgeBin(high / width);
    const auto count = static_cast<std::int64_t>(n);

    // A negative edge would index before the spectrum: rejected like one beyond it.
    if (lowBin < 0 || lowBin >= count) {
        throw std::out_of_range("Algorithm_VUBP: band starts outside the spectrum");
    }
    const float lowFrac = std::fmod(low, width);
    const float a = power[lowBin];

    float upper = 0.0f;
    if (static_cast<std::int64_t>(highBin) != count) {
        // The fraction of the band's top bin weights the bin after it.
        const std::int64_t next = static_cast<std::int64_t>(highBin) + 1;
        if (next >= count || next < 0) {
            throw std::out_of_range("Algorithm_VUBP: band ends outside the spectrum");
        }
        upper = (std::fmod(high, width) / width) * power[next];
    }

    float result;
    if (highBin == lowBin) {
        result = a;
    } else {
        float sum = 0.0f;
        for (std::int32_t k = lowBin; k < highBin; ++k) {
            sum += power[k];
        }
        result = (upper + (sum - (lowFrac / width) * a)) / static_cast<float>(highBin - lowBin);
    }
    return std::isnan(result) ? 0.0f : result;
}
