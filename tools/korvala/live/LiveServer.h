#pragma once

// A small HTTP server that shows a running engine in the browser: it serves one
// self-contained page, streams every published frame to each viewer as
// Server-Sent Events and takes the two user controls back from the page.
//
// Threads: publish() is called on the frame thread and never waits for a
// viewer (it copies the frame and wakes one broadcaster thread, which turns it
// into text once). Each viewer has its own connection thread that sends the
// newest frame it has not sent yet; a slow viewer skips frames, and a viewer
// that stops reading is dropped after a write timeout, without touching the
// others or the frame thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace korvala::cli {

/// Where the server listens: "[ADDR:]PORT", 127.0.0.1 unless an address is given.
struct ServeAddress {
    std::string host = "127.0.0.1";
    int port = 8080; ///< 0 picks a free port
};

/// Parses "8080", "127.0.0.1:8080", "0.0.0.0:9000" or "[::1]:8080"; UsageError otherwise.
ServeAddress parseServeAddress(const std::string& text);

/// One frame as the page sees it.
struct LiveFrame {
    std::uint64_t index = 0;       ///< frame number, from 0
    double time = 0.0;             ///< seconds of audio analysed at this frame
    std::uint64_t transitions = 0; ///< transitions so far
    float reactivity = 0.5f;       ///< the controls in force at this frame
    float audioSpeed = 0.5f;
    std::vector<float> scalars;              ///< in the order given to begin()
    std::vector<std::vector<float>> vectors; ///< in the order given to begin()
};

class LiveServer {
public:
    struct Options {
        ServeAddress address;
        std::string title; ///< what is analysed, shown on the page
        std::string fps = "60";
        /// Called on a connection thread with a control's name ("reactivity" or
        /// "audioSpeed") and a value already checked to lie in [0, 1].
        std::function<void(const std::string&, float)> onControl;
        /// Audio the page may play in step with the frames (empty: none).
        std::string audio;
        std::string audioType; ///< its MIME type
    };

    /// Binds and starts listening; InputError when the address cannot be bound.
    explicit LiveServer(Options options);
    /// Ends every stream and stops the server.
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    /// The page's address, e.g. "http://127.0.0.1:8080/".
    std::string url() const;
    /// Viewers connected to the stream now.
    int viewers() const;
    /// Waits until at least one viewer is connected; false on timeout.
    bool waitForViewer(std::chrono::milliseconds timeout) const;

    /// The component names of every frame to come, in frame order.
    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames);
    /// Hands a frame to the viewers. Frame thread; copies, never blocks on a viewer.
    void publish(const LiveFrame& frame);
    /// Tells every viewer the run has ended (their streams close).
    void end();

private:
    void broadcast();
    bool waitNext(std::uint64_t& seen, std::shared_ptr<const std::string>& text);

    Options options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread listener_;
    std::thread broadcaster_;
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable wake_; ///< viewers and waitForViewer
    std::condition_variable pendingReady_; ///< the broadcaster
    LiveFrame pending_;
    std::int64_t pendingWall_ = 0; ///< when the pending frame was published, ms since the epoch
    bool hasPending_ = false;
    bool ended_ = false;
    bool stopping_ = false;
    int viewers_ = 0;
    std::string hello_;         ///< the names event each viewer gets first
    LiveFrame last_;            ///< the newest frame taken by the broadcaster
    std::int64_t lastWall_ = 0; ///< when it was published; 0 before the first
    std::shared_ptr<const std::string> latest_;
    std::uint64_t latestSeq_ = 0;
};

} // namespace korvala::cli
