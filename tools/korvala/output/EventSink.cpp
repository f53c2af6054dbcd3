#include "tools/korvala/output/EventSink.h"

#include <algorithm>
#include <stdexcept>

namespace korvala::cli {

const char* eventKindName(EventKind kind) {
    switch (kind) {
    case EventKind::Beat:
        return "beat";
    case EventKind::Onset:
        return "onset";
    case EventKind::Transition:
        return "transition";
    }
    return "?";
}

const std::vector<std::string>& EventSink::scalarNames() {
    static const std::vector<std::string> names = {"kor_BPM", "kor_BPMConfidence", "kor_BeatTime",
                                                   "kor_Hits"};
    return names;
}

void EventSink::begin(const std::vector<std::string>& scalarNames,
                      const std::vector<std::string>& /*vectorNames*/) {
    auto column = [&](const char* name) {
        const auto it = std::find(scalarNames.begin(), scalarNames.end(), name);
        if (it == scalarNames.end()) {
            throw std::runtime_error(std::string("events: the engine has no ") + name);
        }
        return static_cast<std::size_t>(it - scalarNames.begin());
    };
    beatColumn_ = column("kor_BeatTime");
    hitsColumn_ = column("kor_Hits");
    bpmColumn_ = column("kor_BPM");
    confidenceColumn_ = column("kor_BPMConfidence");
}

void EventSink::frame(const FrameValues& values) {
    const std::vector<float>& v = *values.scalars;
    const float beats = v[beatColumn_];
    const float hits = v[hitsColumn_];
    if (beats > previousBeats_) {
        events_.push_back(Event{values.time, EventKind::Beat});
    }
    if (hits >= kOnsetLevel && previousHits_ < kOnsetLevel) {
        events_.push_back(Event{values.time, EventKind::Onset});
    }
    if (values.transition) {
        events_.push_back(Event{values.time, EventKind::Transition});
    }
    previousBeats_ = beats;
    previousHits_ = hits;
    bpm_.add(v[bpmColumn_]);
    steady_.add(v[confidenceColumn_], beats);
}

std::uint64_t EventSink::count(EventKind kind) const {
    return static_cast<std::uint64_t>(std::count_if(
        events_.begin(), events_.end(), [kind](const Event& e) { return e.kind == kind; }));
}

} // namespace korvala::cli
