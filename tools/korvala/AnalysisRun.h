#pragma once

// The analysis loop shared by every subcommand: runs the host schedule over a
// source through one engine and hands each frame's values to a sink.

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/output/FrameSink.h"
#include "tools/korvala/sources/AudioSource.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Korvala {
class AudioEngine;
}

namespace korvala::cli {

struct AnalysisOptions {
    FrameRate fps;
    std::uint64_t blockSize = 512;
    float reactivity = 0.5f;
    float audioSpeed = 0.5f;
    std::vector<std::string> scalars; ///< scalar names to hand to the sink, in column order
    std::vector<std::string> vectors; ///< vector names to hand to the sink, in column order
    bool live = false;                ///< flush the sink after every chunk read
    /// Called now and then with the samples consumed so far (may be empty).
    std::function<void(std::uint64_t)> progress;
};

/// What the run saw, for the summary. Optional values are absent when the
/// engine has no component of that name.
struct AnalysisResult {
    std::uint64_t samples = 0; ///< 44100 Hz samples read
    std::uint64_t blocks = 0;  ///< blocks pushed up to the last frame
    std::uint64_t frames = 0;
    std::uint64_t transitions = 0;
    std::optional<float> finalBpm;
    std::optional<float> finalBpmConfidence;
    std::optional<float> medianBpmLastHalf;
    std::optional<float>
        medianConfidenceLastHalf;      ///< the median "kor_BPMConfidence" over the same frames
    bool steadyBeat = false;           ///< SteadyBeatRule (LastHalfMedian.h)
    std::optional<float> beatsCounted; ///< the final "kor_BeatTime"
    std::optional<float> finalFeltBpm; ///< the final "felt_BPM" (only with the felt layer)
    std::optional<float> finalFeltConfidence;
    double wallSeconds = 0.0;
};

/// The engine's scalar and vector names, byte-wise ascending.
std::vector<std::string> engineScalarNames(Korvala::AudioEngine& engine);
std::vector<std::string> engineVectorNames(Korvala::AudioEngine& engine);

/// Runs the schedule over `source` through `engine` (fresh, no callback set)
/// until the source ends. The selected names must exist (std::runtime_error
/// otherwise). Exceptions from the source or the sink propagate; the sink has
/// then received only whole frames and no end().
AnalysisResult runAnalysis(Korvala::AudioEngine& engine, AudioSource& source,
                           const AnalysisOptions& options, FrameSink& sink);

} // namespace korvala::cli
