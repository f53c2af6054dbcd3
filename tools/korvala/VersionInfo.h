#pragma once

// What `korvala version` and `korvala --version` print: the library version,
// the FFT backend and the build type this program was built with.

#include <string>

namespace korvala::cli {

std::string versionText();

} // namespace korvala::cli
