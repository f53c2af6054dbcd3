#include "tools/korvala/HostSchedule.h"

#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace korvala::cli {

namespace {
using Wide = unsigned __int128;

constexpr std::uint64_t kMaxRate = 1000;
constexpr std::size_t kMaxDecimals = 6;
constexpr std::size_t kMaxDigits = 9;

std::uint64_t narrow(Wide value) {
    const Wide limit = std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value > limit ? limit : value);
}

bool allDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::uint64_t parseDigits(const std::string& text) {
    if (text.size() > kMaxDigits) {
        throw std::invalid_argument("too many digits in '" + text + "'");
    }
    return std::stoull(text);
}
} // namespace

FrameRate parseFrameRate(const std::string& text) {
    const std::string shape = "expected a positive decimal such as 60 or 29.97, or a ratio such "
                              "as 30000/1001, not '" +
                              text + "'";
    std::uint64_t num = 0;
    std::uint64_t den = 1;
    const auto slash = text.find('/');
    const auto dot = text.find('.');
    if (slash != std::string::npos) {
        const std::string a = text.substr(0, slash);
        const std::string b = text.substr(slash + 1);
        if (!allDigits(a) || !allDigits(b)) {
            throw std::invalid_argument(shape);
        }
        num = parseDigits(a);
        den = parseDigits(b);
        if (den == 0) {
            throw std::invalid_argument("the denominator of '" + text + "' is 0");
        }
    } else {
        std::string whole = text.substr(0, dot);
        std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
        if (whole.empty() && !fraction.empty()) {
            whole = "0";
        }
        if (!allDigits(whole) || (dot != std::string::npos && !allDigits(fraction))) {
            throw std::invalid_argument(shape);
        }
        while (!fraction.empty() && fraction.back() == '0') {
            fraction.pop_back();
        }
        if (fraction.size() > kMaxDecimals) {
            throw std::invalid_argument("at most " + std::to_string(kMaxDecimals) +
                                        " decimals are accepted, not '" + text + "'");
        }
        for (std::size_t i = 0; i < fraction.size(); ++i) {
            den *= 10;
        }
        num = parseDigits(whole) * den + (fraction.empty() ? 0 : std::stoull(fraction));
    }
    if (num == 0 || num > kMaxRate * den) {
        throw std::invalid_argument("'" + text + "' is outside 0 < F <= 1000");
    }
    const std::uint64_t g = std::gcd(num, den);
    return FrameRate{num / g, den / g};
}

float nearestFrameTime(FrameRate rate) {
    // Rounding den/num to double and then to float can round twice; compare the
    // float candidates against the exact ratio instead (c × num is exact in long
    // double for the rates parseFrameRate accepts).
    const float guess = static_cast<float>(static_cast<double>(rate.den) / rate.num);
    float best = guess;
    long double bestError = std::numeric_limits<long double>::infinity();
    for (float candidate : {std::nextafter(guess, 0.0f), guess,
                            std::nextafter(guess, std::numeric_limits<float>::infinity())}) {
        const long double error = std::fabs(static_cast<long double>(candidate) * rate.num -
                                            static_cast<long double>(rate.den));
        if (error < bestError) {
            best = candidate;
            bestError = error;
        }
    }
    return best;
}

HostSchedule::HostSchedule(FrameRate rate, std::uint64_t blockSize)
    : rate_(rate), block_(blockSize), dt_(nearestFrameTime(rate)) {
    if (rate.num == 0 || rate.den == 0 || blockSize == 0) {
        throw std::invalid_argument("HostSchedule needs a positive rate and block size");
    }
}

std::uint64_t HostSchedule::samplesDueAt(std::uint64_t frame) const {
    const Wide scaled = (Wide(frame) + 1) * kEngineRate * rate_.den;
    return narrow(scaled / rate_.num);
}

std::uint64_t HostSchedule::samplesNeededFor(std::uint64_t frame) const {
    const Wide scaled = (Wide(frame) + 1) * kEngineRate * rate_.den;
    return narrow((scaled + rate_.num - 1) / rate_.num);
}

std::uint64_t HostSchedule::frameCount(std::uint64_t samples) const {
    return narrow(Wide(samples) * rate_.num / (Wide(kEngineRate) * rate_.den));
}

double HostSchedule::timeOf(std::uint64_t frame) const {
    return static_cast<double>((Wide(frame) + 1) * rate_.den) / static_cast<double>(rate_.num);
}

} // namespace korvala::cli
