#include "tools/korvala/live/ServeSink.h"

#include "korvala/engine/AudioEngine.h"

#include <cmath>
#include <limits>
#include <thread>

namespace korvala::cli {

namespace {
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
} // namespace

ServeSink::ServeSink(LiveServer& server, Korvala::AudioEngine& engine, bool realtime)
    : server_(server), engine_(engine), realtime_(realtime), reactivity_(kNone),
      audioSpeed_(kNone) {}

void ServeSink::setControl(const std::string& name, float value) {
    (name == "reactivity" ? reactivity_ : audioSpeed_).store(value);
}

void ServeSink::begin(const std::vector<std::string>& scalarNames,
                      const std::vector<std::string>& vectorNames) {
    server_.begin(scalarNames, vectorNames);
    start_ = std::chrono::steady_clock::now();
}

void ServeSink::frame(const FrameValues& values) {
    if (realtime_) {
        std::this_thread::sleep_until(
            start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(values.time)));
    }
    live_.index = values.index;
    live_.time = values.time;
    live_.transitions += values.transition ? 1 : 0;
    const UserInputs& inputs = engine_.getController().getUserInputs();
    live_.reactivity = inputs.reactivity;
    live_.audioSpeed = inputs.audioSpeed;
    live_.scalars = *values.scalars;
    live_.vectors = *values.vectors;
    server_.publish(live_);

    // The page's controls take effect from the next frame's update on.
    const float reactivity = reactivity_.exchange(kNone);
    if (!std::isnan(reactivity)) {
        engine_.setReactivityUserInput(reactivity);
    }
    const float audioSpeed = audioSpeed_.exchange(kNone);
    if (!std::isnan(audioSpeed)) {
        engine_.setAudioSpeedUserInput(audioSpeed);
    }
}

void ServeSink::end() {
    server_.end();
}

} // namespace korvala::cli
