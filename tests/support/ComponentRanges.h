#pragma once

// The value ranges the engine's named components document, and a check of a
// whole engine against them. Shared by the hostile-input tests, the endurance
// test and the engine fuzzer.

#include <string>

namespace Korvala {
class AudioEngine;
}

namespace korvala::test {

struct ValueRange {
    float low;
    float high;
};

/// The documented range of a scalar component; clocks and counters get [0, FLT_MAX].
ValueRange documentedRange(const std::string& name);

/// Describes the first scalar that is non-finite or outside its range, the
/// first vector holding a non-finite element or the first non-finite number in
/// the analysis record; empty when every value is sound.
std::string firstUnsoundValue(Korvala::AudioEngine& engine);

} // namespace korvala::test
