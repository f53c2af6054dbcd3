#include "tools/korvala/LastHalfMedian.h"

#include <algorithm>
#include <vector>

namespace korvala::cli {

void SteadyBeatRule::add(float confidence, float beatTime) {
    confidence_.add(confidence);
    beats_.add(beatTime);
    lastBeats_ = beatTime;
}

bool SteadyBeatRule::steady() const {
    const std::optional<float> confidence = confidence_.median();
    const std::optional<float> beatsThreeQuarters = beats_.median();
    return confidence && *confidence >= kConfidence && beatsThreeQuarters &&
           lastBeats_ > *beatsThreeQuarters;
}

LastHalfMedian::LastHalfMedian(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 2)) {}

void LastHalfMedian::add(float value) {
    const std::uint64_t position = count_++;
    if (position % stride_ == 0) {
        if (kept_.empty()) {
            front_ = position;
        }
        kept_.push_back(value);
    }
    // The window starts at floor(n/2): drop what fell out of the last half.
    const std::uint64_t start = count_ / 2;
    while (!kept_.empty() && front_ < start) {
        kept_.pop_front();
        front_ += stride_;
    }
    if (kept_.size() > capacity_) {
        thin();
    }
}

void LastHalfMedian::thin() {
    // Keep the values whose positions are multiples of the doubled stride.
    const std::uint64_t wider = stride_ * 2;
    std::size_t first = front_ % wider == 0 ? 0 : 1;
    std::deque<float> kept;
    for (std::size_t i = first; i < kept_.size(); i += 2) {
        kept.push_back(kept_[i]);
    }
    front_ += first * stride_;
    kept_.swap(kept);
    stride_ = wider;
}

std::optional<float> LastHalfMedian::median() const {
    if (kept_.empty()) {
        return std::nullopt;
    }
    std::vector<float> sorted(kept_.begin(), kept_.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t mid = sorted.size() / 2;
    if (sorted.size() % 2 == 1) {
        return sorted[mid];
    }
    return static_cast<float>((double(sorted[mid - 1]) + double(sorted[mid])) / 2.0);
}

} // namespace korvala::cli
