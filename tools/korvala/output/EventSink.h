#pragma once

// Beats, onsets and transitions picked out of an analysis run, plus the
// figures `korvala summary` prints. What each event is:
//   beat       "kor_BeatTime" stepped up: an onset of the RMS level (1.5 running
//              standard deviations above its 2-second mean at reactivity 0.5,
//              at most one per 0.12 s) that the beat counter counted;
//   onset      "kor_Hits" rose through 0.5: the window's peak level jumped at
//              least 0.75 standard deviations above its 2-second mean;
//   transition the engine fired its transition callback ("kor_Threshold").
// Each is stamped with the time of the frame that first shows it.

#include "tools/korvala/LastHalfMedian.h"
#include "tools/korvala/output/FrameSink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvala::cli {

enum class EventKind { Beat, Onset, Transition };

const char* eventKindName(EventKind kind);

struct Event {
    double time = 0.0; ///< seconds, the frame's t_k
    EventKind kind = EventKind::Beat;
};

class EventSink : public FrameSink {
public:
    /// The scalars the sink reads, in the engine's byte-wise order.
    static const std::vector<std::string>& scalarNames();
    /// The level "kor_Hits" must rise through for an onset.
    static constexpr float kOnsetLevel = 0.5f;

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;

    const std::vector<Event>& events() const { return events_; }
    std::uint64_t count(EventKind kind) const;
    /// Medians over the last half of the frames (absent for an empty run).
    std::optional<float> medianBpm() const { return bpm_.median(); }
    std::optional<float> medianConfidence() const { return steady_.medianConfidence(); }
    bool steadyBeat() const { return steady_.steady(); }

private:
    std::vector<Event> events_;
    std::size_t beatColumn_ = 0;
    std::size_t hitsColumn_ = 0;
    std::size_t bpmColumn_ = 0;
    std::size_t confidenceColumn_ = 0;
    float previousBeats_ = 0.0f;
    float previousHits_ = 0.0f;
    LastHalfMedian bpm_;
    SteadyBeatRule steady_;
};

} // namespace korvala::cli
