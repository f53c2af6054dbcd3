#pragma once

// An audio source that passes another source's samples through unchanged and
// feeds them to a waveform overview on the way.

#include "tools/korvala/report/WaveformOverview.h"
#include "tools/korvala/sources/AudioSource.h"

namespace korvala::cli {

/// Reads from `inner` and records every sample read into `overview`.
class OverviewTapSource : public AudioSource {
public:
    OverviewTapSource(AudioSource& inner, WaveformOverview& overview)
        : inner_(inner), overview_(overview) {}
    std::size_t read(float* out, std::size_t capacity) override {
        const std::size_t got = inner_.read(out, capacity);
        overview_.add(out, got);
        return got;
    }
    const SourceInfo& info() const override { return inner_.info(); }

private:
    AudioSource& inner_;
    WaveformOverview& overview_;
};

} // namespace korvala::cli
