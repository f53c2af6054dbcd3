#include "korvala/feel/MusicGate.h"

#include <algorithm>
#include <cmath>

namespace Korvala {

MusicGate::Change MusicGate::add(float rms, float seconds) noexcept {
    // NaN and silence both read as far below any threshold.
    const float db = rms > 1e-10f ? 20.0f * std::log10(rms) : -200.0f;
    levelDb_ = std::max(db, std::max(-200.0f, levelDb_ - settings_.releaseDbPerSecond * seconds));
    const bool crossing = open_ ? levelDb_ < settings_.closeDb : levelDb_ > settings_.openDb;
    if (!crossing) {
        heldSeconds_ = 0.0f;
        return Change::None;
    }
    heldSeconds_ += seconds;
    const float needed = open_ ? settings_.closeSeconds : settings_.openSeconds;
    if (heldSeconds_ + 1e-6f < needed) {
        return Change::None;
    }
    heldSeconds_ = 0.0f;
    open_ = !open_;
    if (open_) {
        ++starts_;
        return Change::Started;
    }
    ++stops_;
    return Change::Stopped;
}

void MusicGate::reset() noexcept {
    open_ = false;
    levelDb_ = -200.0f;
    heldSeconds_ = 0.0f;
    starts_ = 0;
    stops_ = 0;
}

} // namespace Korvala
