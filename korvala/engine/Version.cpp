#include "korvala/engine/Version.h"

extern "C" {
const double KorvalaEngineVersionNumber = 1.0;
const unsigned char KorvalaEngineVersionString[] =
    "@(#)PROGRAM:KorvalaEngine  PROJECT:KorvalaEngine-1\n";
}
