#pragma once

// Small pieces of the command's messages to the user.

#include <string>

namespace korvala::cli {

/// The shortest decimal that reads back as `value` (1.0000001, not 1.000000):
/// a number the way the user most likely wrote it.
std::string asWritten(double value);

/// One warning line on standard error for a block size other than 512: the
/// tempo tracker counts 512-sample blocks, so its tempo is off with any other
/// size; blocks under 16 samples also run about as slow as real time or slower.
void warnAboutBlockSize(int block);

} // namespace korvala::cli
