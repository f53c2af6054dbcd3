#pragma once

// One input analysed for `korvala events` and `korvala summary`: its events,
// tempo figures and loudness.

#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/output/EventSink.h"

#include <string>

namespace korvala::cli {

struct FileFacts {
    SourceInfo info;
    AnalysisResult result;
    EventSink events;
    double rmsDbfs = 0.0;  ///< mean power of the 44100 Hz mono samples, dB re full scale
    double peakDbfs = 0.0; ///< largest absolute sample, dB re full scale
};

/// Analyses `input` (a file, "-" for standard input) with the
/// controls and frame rate of `options` (its names are replaced).
FileFacts analyseFile(const std::string& input, AnalysisOptions options);

} // namespace korvala::cli
