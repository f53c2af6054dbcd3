#pragma once

// `korvala analyze … --serve`: the run shown live in a browser page.

#include "tools/korvala/live/LiveServer.h"
#include "tools/korvala/live/ServeSink.h"

#include <atomic>
#include <functional>
#include <string>

namespace CLI {
class App;
class Option;
} // namespace CLI
namespace Korvala {
class AudioEngine;
}

namespace korvala::cli {

constexpr const char* kDefaultServeAddress = "127.0.0.1:8080";

/// --serve [ADDR:]PORT as a command line gave it.
struct ServeOption {
    std::string value;
    const CLI::Option* option = nullptr;
    /// Where to serve: kDefaultServeAddress for a bare --serve, empty without --serve.
    std::string address() const;
};

/// Registers --serve [ADDR:]PORT on `command`.
void addServeOption(CLI::App* command, ServeOption& serve, const std::string& help);

struct ServeRequest {
    ServeAddress address;
    bool realtime = false; ///< pace frames to the audio and play it in the page
    std::string input;     ///< as given on the command line ("" demo, "-" standard input)
    std::string title;     ///< what the page calls the input
    std::string fps;
    /// Where the page's controls go; unset: to the engine before the next frame
    /// (through the sink). A live run hands them to its thread-safe setters.
    std::function<void(const std::string&, float)> control;
    bool live = false; ///< frames come from a device: no audio file, no waiting
};

/// The server and its frame sink for one run. Add sink() to the run's fan-out
/// first (with every scalar and vector), so its pacing holds the other outputs
/// back too; call waitForViewer() before the run and finish() after it.
class ServeSession {
public:
    /// Starts the server (InputError if it cannot listen) and prints its address.
    ServeSession(const ServeRequest& request, Korvala::AudioEngine& engine, bool quiet);
    ServeSink& sink() { return sink_; }
    /// With --realtime, waits until a first viewer has opened the page.
    void waitForViewer();
    /// Gives the viewers a moment to receive the end of the run.
    void finish();

private:
    ServeRequest request_;
    bool quiet_;
    std::string noAudio_;                       ///< why the page plays no audio, if it does not
    std::atomic<ServeSink*> controls_{nullptr}; ///< where the page's controls go, once built
    LiveServer server_;
    ServeSink sink_;
};

} // namespace korvala::cli
