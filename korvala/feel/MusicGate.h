#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvala {

/// Tells music from silence with hysteresis in level and in time. A level
/// follower rises at once with the window's RMS level and falls by at most
/// releaseDbPerSecond, bridging the gaps between sparse hits; the gate opens
/// once the follower has stayed above the opening level for the opening time,
/// and closes once it has stayed below the (lower) closing level for the
/// closing time. Starts closed. Allocation-free.
class MusicGate {
public:
    struct Settings {
        float openDb = -50.0f;            ///< dBFS the level must exceed to open
        float closeDb = -60.0f;           ///< dBFS the level must fall below to close
        float openSeconds = 0.15f;        ///< time above openDb before the gate opens
        float closeSeconds = 0.5f;        ///< time below closeDb before the gate closes
        float releaseDbPerSecond = 40.0f; ///< fastest fall of the level follower
    };
    enum class Change { None, Started, Stopped };

    MusicGate() = default;
    explicit MusicGate(const Settings& settings) : settings_(settings) {}

    /// One block of `seconds` whose analysis window has RMS amplitude `rms`
    /// (full scale 1). Returns the change it caused, if any.
    Change add(float rms, float seconds) noexcept;

    bool open() const { return open_; }
    std::uint64_t starts() const { return starts_; }
    std::uint64_t stops() const { return stops_; }
    const Settings& settings() const { return settings_; }
    /// The level follower in dBFS (−200 for digital silence).
    float levelDb() const { return levelDb_; }
    void reset() noexcept;

private:
    Settings settings_;
    bool open_ = false;
    float levelDb_ = -200.0f;
    float heldSeconds_ = 0.0f; // how long the level has been on the other side
    std::uint64_t starts_ = 0;
    std::uint64_t stops_ = 0;
};

} // namespace Korvala
