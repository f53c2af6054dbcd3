#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace korvala::cli {

/// A one-line progress bar on a terminal stream, redrawn at most ten times a
/// second and erased when done.
class ProgressBar {
public:
    ProgressBar(std::FILE* stream, std::uint64_t total) : stream_(stream), total_(total) {}
    void update(std::uint64_t done);
    void finish();

private:
    std::FILE* stream_;
    std::uint64_t total_;
    std::chrono::steady_clock::time_point last_{};
    bool drawn_ = false;
};

} // namespace korvala::cli
