#pragma once

#include "tools/korvala/sources/AudioSource.h"

#include <memory>

namespace korvala::cli {

/// Standard input as a source: encoded audio, recognised by its first bytes
/// (RIFF/RF64 WAV, AIFF, AU, FLAC, Ogg, MP3, …), is read to its end and then
/// decoded like a file; anything else is raw 32-bit float little-endian mono
/// at 44100 Hz, read as it arrives.
std::unique_ptr<AudioSource> openStandardInput();

} // namespace korvala::cli
