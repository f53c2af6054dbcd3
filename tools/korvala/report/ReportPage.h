#pragma once

// Builds the self-contained report page: the template with the plotting
// library, the page's own script and style inlined, and one JSON object
// holding the run's data.

#include "tools/korvala/report/ReportAssets.h"
#include "tools/korvala/report/ReportSink.h"
#include "tools/korvala/report/WaveformOverview.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace korvala::cli {

/// Standard base64 with padding.
std::string base64Encode(const void* data, std::size_t size);

/// Makes text safe inside an HTML <script> or <style> element: every "</"
/// becomes "<\/" (the same string in JSON and in JavaScript string literals).
std::string escapeClosingTags(const std::string& text);

/// The median of values [floor(n/2), n) (the last half of a run, as the
/// summary takes it for the tempo); the mean of the middle two when even,
/// formed in double. Absent for an empty input.
std::optional<float> lastHalfMedian(const std::vector<float>& values);

/// The page's data object (layout in tools/korvala/report/README.md).
/// `summary` is the run's summary as `analyze` reports it; `settings` the
/// controls and schedule used.
nlohmann::json reportData(const ReportSink& sink, const WaveformOverview& waveform,
                          const nlohmann::json& summary, const nlohmann::json& settings);

/// Fills the template's @@KORVALA_NAME@@ slots (PLOT_STYLE, PAGE_STYLE,
/// PLOT_SCRIPT, PAGE_SCRIPT, DATA); unknown slots are left as they are.
std::string renderReportPage(const ReportAssets& assets, const nlohmann::json& data);

} // namespace korvala::cli
