#pragma once

// `korvala report`: one analysis run with every scalar and the spectra, turned
// into the self-contained report page.

#include "tools/korvala/AnalysisRun.h"

#include <string>

namespace korvala::cli {

struct ReportOutcome {
    std::string page;      ///< the whole HTML document
    AnalysisResult result; ///< what the run saw, as `analyze` summarises it
};

/// Runs the schedule over `source` through `engine` exactly as `analyze` does
/// (same options, every scalar name in the engine's order) and builds the
/// page. The scalars and vectors in `options` are replaced.
ReportOutcome runReport(Korvala::AudioEngine& engine, AudioSource& source, AnalysisOptions options);

} // namespace korvala::cli
