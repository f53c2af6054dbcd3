#pragma once

// The frame sink behind `korvala report`: keeps every frame's scalar values,
// the frames where transitions and beat onsets happened, and spectrum pictures.

#include "tools/korvala/output/FrameSink.h"
#include "tools/korvala/report/SpectrogramImage.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace korvala::cli {

/// Collects a whole run in memory for the report page. Scalars are kept at
/// full resolution (the page shows the exact value of any frame); each vector
/// named in spectrumNames() becomes a SpectrogramImage. A run longer than
/// kMaxSeconds (an endless stream on standard input) stops with an InputError
/// rather than growing without bound: about 80 MB of values at 60 fps.
class ReportSink : public FrameSink {
public:
    static constexpr double kMaxSeconds = 2.0 * 3600.0;
    /// The vector components pictured over time, in the page's switch order.
    static const std::vector<std::string>& spectrumNames();
    /// The scalar whose rising edges mark beat onsets.
    static constexpr const char* kOnsetScalar = "kor_OnBeat";

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;

    const std::vector<std::string>& scalarNames() const { return scalarNames_; }
    const std::vector<double>& times() const { return times_; }
    /// series()[i][k]: scalar i at frame k.
    const std::vector<std::vector<float>>& series() const { return series_; }
    const std::vector<std::uint64_t>& transitionFrames() const { return transitions_; }
    /// Frames where "kor_OnBeat" rose above its previous frame's value (it
    /// jumps up only on an onset and decays otherwise).
    const std::vector<std::uint64_t>& onsetFrames() const { return onsets_; }
    const std::vector<std::pair<std::string, SpectrogramImage>>& spectrograms() const {
        return spectrograms_;
    }

private:
    std::vector<std::string> scalarNames_;
    std::vector<double> times_;
    std::vector<std::vector<float>> series_;
    std::vector<std::uint64_t> transitions_;
    std::vector<std::uint64_t> onsets_;
    std::vector<std::pair<std::string, SpectrogramImage>> spectrograms_;
    std::vector<std::size_t> spectrumColumns_; ///< index into the frame's vectors per picture
    std::size_t onsetColumn_ = 0;
    bool hasOnsets_ = false;
    float previousOnset_ = 0.0f;
};

} // namespace korvala::cli
