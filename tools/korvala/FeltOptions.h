#pragma once

// The options `analyze`, `report` and `live` share for the opt-in felt tempo
// layer (korvala/feel): --tempo-range, --gate and --latency-ms. With none of
// them a run has no felt values and prints exactly what it printed before.

#include "korvala/feel/FeltTempo.h"

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace korvala::cli {

struct FeltArgs {
    std::string tempoRange; ///< "LO-HI" in BPM, empty: not given
    bool gate = false;
    std::string latencyMs; ///< milliseconds, empty: not given
};

/// Registers --tempo-range, --gate and --latency-ms on `command`.
void addFeltOptions(CLI::App* command, FeltArgs& args);

/// The felt layer's settings the options ask for, or nothing when none was
/// given. A bad value throws UsageError with a one-line reason. The tempo
/// oscillators keep the tracker's tempo, so every "kor_" value is unchanged.
std::optional<Korvala::FeltTempo::Options> feltOptions(const FeltArgs& args);

} // namespace korvala::cli
