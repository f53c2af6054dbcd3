#pragma once

// Sends a stream of messages to one TCP endpoint without ever making the
// sending thread wait: a non-blocking socket that connects, and reconnects
// after a failure, in the background of the calls that send.

#include "tools/korvala/output/UdpSender.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvala::cli {

/// One TCP connection kept up to one endpoint (resolved as for UDP). The
/// constructor starts connecting and waits up to `firstWait` for it, so a short
/// run over a file loses nothing to the handshake; after that no call waits.
/// A connection that fails or closes is tried again at most once per
/// `retryEvery`, quietly. A message sent while there is no connection is
/// dropped and counted; what a connection cannot take at once (the peer's
/// window full) waits, up to kMaxPending bytes, then messages are dropped too.
class TcpSender {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxPending = 64 * 1024;

    TcpSender(UdpEndpoint endpoint, Clock::duration firstWait, Clock::duration retryEvery);
    ~TcpSender();
    TcpSender(const TcpSender&) = delete;
    TcpSender& operator=(const TcpSender&) = delete;

    /// Queues one message and writes what the connection takes now.
    void send(std::string_view message);
    bool connected() const { return state_ == State::Connected; }
    std::uint64_t dropped() const { return dropped_; }
    /// Why the first connection attempt or write failed; empty while none did.
    const std::string& firstError() const { return firstError_; }
    const UdpEndpoint& endpoint() const { return endpoint_; }

private:
    enum class State { Idle, Connecting, Connected };
    void startConnecting(Clock::time_point now);
    bool settle(int waitMilliseconds);
    void flush();
    void fail(const char* what, int error);

    UdpEndpoint endpoint_;
    Clock::duration retryEvery_;
    Clock::time_point retryAt_{};
    int socket_ = -1;
    State state_ = State::Idle;
    std::string pending_;
    std::uint64_t dropped_ = 0;
    std::string firstError_;
};

} // namespace korvala::cli
