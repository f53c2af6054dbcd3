#pragma once

// The files of the live page (`--serve`), compiled into the command from
// tools/korvala/live/page/ (see LivePageAssets.cmake). The page needs nothing
// from outside: no request leaves the machine.

#include <string_view>

namespace korvala::cli {

struct LivePageAssets {
    std::string_view
        pageTemplate;            ///< live.html with @@KORVALA_STYLE@@ and @@KORVALA_SCRIPT@@ slots
    std::string_view pageScript; ///< live.js
    std::string_view pageStyle;  ///< live.css
};

/// The assets embedded at build time.
const LivePageAssets& livePageAssets();

} // namespace korvala::cli
