#pragma once

/// Exported version data of the library.
extern "C" {
extern const double KorvalaEngineVersionNumber;
extern const unsigned char KorvalaEngineVersionString[];
}
