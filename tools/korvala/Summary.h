#pragma once

// The end-of-run summary on standard error, as text or as one JSON object.

#include "tools/korvala/AnalysisRun.h"

#include <nlohmann/json.hpp>

#include <string>

namespace korvala::cli {

/// The summary as a JSON object (absent values are null).
nlohmann::json summaryJson(const SourceInfo& source, const AnalysisOptions& options,
                           const AnalysisResult& result);
/// The same facts as a few lines of text, each starting "korvala: ".
std::string summaryText(const SourceInfo& source, const AnalysisOptions& options,
                        const AnalysisResult& result);

} // namespace korvala::cli
