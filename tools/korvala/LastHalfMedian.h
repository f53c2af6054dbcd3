#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace korvala::cli {

/// The median of the values [floor(n/2), n) of a run whose length n is not known in advance,
/// in bounded memory: exact while the last half fits `capacity` values, then taken over every
/// 2nd, 4th, … value of it, so an endless stream never grows the process.
class LastHalfMedian {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 14;

    explicit LastHalfMedian(std::size_t capacity = kDefaultCapacity);

    void add(float value);
    std::optional<float> median() const;

    /// Distance between kept values: 1 while the median is exact.
    std::uint64_t stride() const { return stride_; }
    std::size_t kept() const { return kept_.size(); }

private:
    void thin();

    std::size_t capacity_;
    std::deque<float> kept_;  // values at positions front_, front_ + stride_, …
    std::uint64_t front_ = 0; // position of kept_.front()
    std::uint64_t count_ = 0; // values seen
    std::uint64_t stride_ = 1;
};

/// The rule every summary (analyze, report, live, summary) uses to say whether
/// a run has a steady beat: the median "kor_BPMConfidence" over the last half
/// of the frames is at least 0.5, and "kor_BeatTime" advanced over about the
/// last quarter (on digital silence the tracker keeps one tempo and its
/// confidence climbs to 1, but it counts no beats).
class SteadyBeatRule {
public:
    static constexpr float kConfidence = 0.5f;

    /// One frame's "kor_BPMConfidence" and "kor_BeatTime".
    void add(float confidence, float beatTime);
    std::optional<float> medianConfidence() const { return confidence_.median(); }
    bool steady() const;

private:
    LastHalfMedian confidence_;
    LastHalfMedian beats_; // a rising count: its last-half median is its value 3/4 of the way
    float lastBeats_ = 0.0f;
};

} // namespace korvala::cli
