#pragma once

// `korvala report`: one analysis run with every scalar and the spectra, turned
// into the self-contained report page.

#include "tools/korvala/AnalysisRun.h"

#include <cstddef>
#include <string>

namespace korvala::cli {

struct ReportOutcome {
    std::string page;           ///< the whole HTML document
    AnalysisResult result;      ///< what the run saw, as `analyze` summarises it
    std::size_t audioBytes = 0; ///< size of the embedded Ogg Vorbis copy (0: none)
    std::string audioProblem;   ///< why no audio was embedded though it was wanted
};

struct ReportAudio {
    bool embed = true;                       ///< embed a compressed copy to play
    std::size_t capBytes = 16 * 1000 * 1000; ///< leave it out above this size
};

/// Runs the schedule over `source` through `engine` exactly as `analyze` does
/// (same options, every scalar name in the engine's order) and builds the
/// page. The scalars and vectors in `options` are replaced.
ReportOutcome runReport(Korvala::AudioEngine& engine, AudioSource& source, AnalysisOptions options,
                        const ReportAudio& audio = {});

} // namespace korvala::cli
