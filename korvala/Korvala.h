#pragma once

// Umbrella header: everything a host needs.
#include "korvala/engine/AudioComponentController.h"
#include "korvala/engine/AudioEngine.h"
#include "korvala/engine/Version.h"
