#include "tools/korvala/VersionInfo.h"

namespace korvala::cli {

std::string versionText() {
    return std::string("korvala ") + KORVALA_TOOL_VERSION + " (Korvala Engine " +
           KORVALA_TOOL_VERSION + ", FFT backend " + KORVALA_TOOL_FFT + ", " +
           KORVALA_TOOL_BUILD_TYPE + " build)";
}

} // namespace korvala::cli
