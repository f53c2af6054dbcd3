#pragma once

// The files the report page is built from, compiled into the command from
// tools/korvala/report/ and its node_modules (see ReportAssets.cmake).

#include <string_view>

namespace korvala::cli {

struct ReportAssets {
    std::string_view pageTemplate; ///< report.html with @@KORVALA_…@@ slots
    std::string_view pageScript;   ///< report.js
    std::string_view pageStyle;    ///< report.css
    std::string_view plotScript;   ///< uPlot's minified script
    std::string_view plotStyle;    ///< uPlot's style sheet
    bool complete = false;         ///< false when the plotting library was missing at build time
};

/// The assets embedded at build time.
const ReportAssets& reportAssets();

} // namespace korvala::cli
