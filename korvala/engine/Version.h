#pragma once

#include "korvala/Export.h"

/// Exported version data of the library.
extern "C" {
KORVALA_API extern const double KorvalaEngineVersionNumber;
KORVALA_API extern const unsigned char KorvalaEngineVersionString[];
}
