#pragma once

// The waveform overview of the report: the lowest and highest sample of each
// run of samples, kept to a bounded number of runs however long the input.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvala::cli {

/// Min/max per bucket of consecutive samples. Buckets start `firstBucket`
/// samples wide; whenever `maxBuckets` are full, neighbours are merged and the
/// width doubles. Non-finite samples count as 0, as the engine takes them.
class WaveformOverview {
public:
    static constexpr std::uint64_t kDefaultFirstBucket = 32;
    static constexpr std::size_t kDefaultMaxBuckets = 8192;

    /// `firstBucket` ≥ 1; `maxBuckets` even and ≥ 2.
    explicit WaveformOverview(std::uint64_t firstBucket = kDefaultFirstBucket,
                              std::size_t maxBuckets = kDefaultMaxBuckets);

    void add(const float* samples, std::size_t count);

    std::uint64_t samples() const { return samples_; }
    /// Samples per bucket (the last bucket may hold fewer).
    std::uint64_t samplesPerBucket() const { return perBucket_; }
    const std::vector<float>& minima() const { return min_; }
    const std::vector<float>& maxima() const { return max_; }

private:
    void halveBuckets();

    std::size_t maxBuckets_;
    std::uint64_t perBucket_;
    std::uint64_t inLastBucket_ = 0;
    std::uint64_t samples_ = 0;
    std::vector<float> min_;
    std::vector<float> max_;
};

} // namespace korvala::cli
