#include "tools/korvala/ProgressBar.h"

#include <algorithm>

namespace korvala::cli {

void ProgressBar::update(std::uint64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) {
        return;
    }
    last_ = now;
    drawn_ = true;
    constexpr int kWidth = 40;
    const double fraction =
        total_ > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total_)) : 0.0;
    const int filled = static_cast<int>(fraction * kWidth);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = '\0';
    std::fprintf(stream_, "\r[%s] %3d%%  %.1f / %.1f s", bar, static_cast<int>(fraction * 100.0),
                 static_cast<double>(done) / 44100.0, static_cast<double>(total_) / 44100.0);
    std::fflush(stream_);
}

void ProgressBar::finish() {
    if (drawn_) {
        std::fprintf(stream_, "\r%*s\r", 70, "");
        std::fflush(stream_);
    }
}

} // namespace korvala::cli
