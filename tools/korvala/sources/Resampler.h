#pragma once

// Streaming sample-rate conversion of a mono float stream to 44100 Hz.

#include <cstddef>
#include <vector>

struct soxr;

namespace korvala::cli {

/// Converts mono float audio from `inputRate` to 44100 Hz with the high-quality
/// setting, one thread (so runs are reproducible). Allocates only in the
/// constructor and when a larger chunk than before is pushed.
class Resampler {
public:
    explicit Resampler(double inputRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    /// Feeds `count` input samples and appends the output now available to `out`.
    void push(const float* in, std::size_t count, std::vector<float>& out);
    /// Ends the stream: appends the remaining output (the converter's tail) to `out`.
    void finish(std::vector<float>& out);

private:
    void drain(const float* in, std::size_t count, std::vector<float>& out);

    soxr* handle_ = nullptr;
    double ratio_;
    std::vector<float> scratch_;
};

} // namespace korvala::cli
