#include "tools/korvala/report/WaveformOverview.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korvala::cli {

WaveformOverview::WaveformOverview(std::uint64_t firstBucket, std::size_t maxBuckets)
    : maxBuckets_(maxBuckets), perBucket_(firstBucket) {
    if (firstBucket == 0 || maxBuckets < 2 || maxBuckets % 2 != 0) {
        throw std::invalid_argument("WaveformOverview: firstBucket must be positive and "
                                    "maxBuckets even and at least 2");
    }
}

void WaveformOverview::add(const float* samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const float s = std::isfinite(samples[i]) ? samples[i] : 0.0f;
        if (inLastBucket_ == 0) {
            min_.push_back(s);
            max_.push_back(s);
        } else {
            min_.back() = std::min(min_.back(), s);
            max_.back() = std::max(max_.back(), s);
        }
        ++samples_;
        if (++inLastBucket_ == perBucket_) {
            inLastBucket_ = 0;
            if (min_.size() == maxBuckets_) {
                halveBuckets();
            }
        }
    }
}

void WaveformOverview::halveBuckets() {
    const std::size_t half = min_.size() / 2;
    for (std::size_t b = 0; b < half; ++b) {
        min_[b] = std::min(min_[2 * b], min_[2 * b + 1]);
        max_[b] = std::max(max_[2 * b], max_[2 * b + 1]);
    }
    min_.resize(half);
    max_.resize(half);
    perBucket_ *= 2;
}

} // namespace korvala::cli
