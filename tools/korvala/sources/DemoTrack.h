#pragma once

// The built-in demo: a short dance track synthesised in code, identical on
// every run and machine (table oscillators, a fixed noise generator, no
// library maths in the sample loop).

#include <vector>

namespace korvala::cli {

/// 128 BPM: a kick on every beat, off-beat hats, an eighth-note bass line and a
/// four-chord pad; a breakdown (pad only) from 16 s and a louder drop from 20 s.
class DemoTrack {
public:
    static constexpr double kBpm = 128.0;
    static constexpr double kBreakdownStart = 16.0;
    static constexpr double kDropStart = 20.0;
    static constexpr double kDefaultSeconds = 30.0;

    /// Renders `seconds` of the track at `sampleRate` Hz with `channels`
    /// interleaved channels (the hats are panned, everything else is centred).
    static std::vector<float> render(int sampleRate, double seconds, int channels = 1);
};

} // namespace korvala::cli
