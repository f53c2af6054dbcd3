#pragma once

// The fixed host schedule that turns a sample stream into engine blocks and
// frames. All frame/sample arithmetic is exact integer arithmetic on a rational
// frame rate, so a frame's blocks never drift however long the run.

#include <cstdint>
#include <string>

namespace korvala::cli {

constexpr std::uint64_t kEngineRate = 44100;

/// A frame rate of num / den frames per second, in lowest terms.
struct FrameRate {
    std::uint64_t num = 60;
    std::uint64_t den = 1;
};

/// Parses "60", "29.97" or "30000/1001" exactly; 0 < rate ≤ 1000 and at most
/// six decimals. Throws std::invalid_argument with the reason.
FrameRate parseFrameRate(const std::string& text);

/// The float nearest to 1 / rate (the dt handed to every update).
float nearestFrameTime(FrameRate rate);

/// Frame k happens at t_k = (k + 1) / F seconds. Before its update the host has
/// pushed every block j with (j + 1) × B ≤ floor(t_k × 44100).
class HostSchedule {
public:
    HostSchedule(FrameRate rate, std::uint64_t blockSize);

    /// floor(t_k × 44100): the samples whose blocks are due by frame k.
    std::uint64_t samplesDueAt(std::uint64_t frame) const;
    /// The number of blocks pushed before frame k's update.
    std::uint64_t blocksDueAt(std::uint64_t frame) const { return samplesDueAt(frame) / block_; }
    /// The smallest stream length (in samples) whose duration reaches t_k.
    std::uint64_t samplesNeededFor(std::uint64_t frame) const;
    /// The number of frames in a stream of `samples` samples (t_k ≤ duration).
    std::uint64_t frameCount(std::uint64_t samples) const;
    /// t_k in seconds, rounded once to double.
    double timeOf(std::uint64_t frame) const;

    float frameTime() const { return dt_; }
    std::uint64_t blockSize() const { return block_; }
    FrameRate rate() const { return rate_; }

private:
    FrameRate rate_;
    std::uint64_t block_;
    float dt_;
};

} // namespace korvala::cli
