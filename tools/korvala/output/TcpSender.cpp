#include "tools/korvala/output/TcpSender.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvala::cli {

TcpSender::TcpSender(UdpEndpoint endpoint, Clock::duration firstWait, Clock::duration retryEvery)
    : endpoint_(std::move(endpoint)), retryEvery_(retryEvery) {
    startConnecting(Clock::now());
    settle(
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(firstWait).count()));
}

TcpSender::~TcpSender() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

void TcpSender::fail(const char* what, int error) {
    if (firstError_.empty()) {
        firstError_ = std::string(what) + ": " + std::strerror(error);
    }
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    // A new connection starts on a whole message.
    pending_.clear();
    state_ = State::Idle;
}

void TcpSender::startConnecting(Clock::time_point now) {
    retryAt_ = now + retryEvery_;
    socket_ = ::socket(endpoint_.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        fail("cannot open a TCP socket", errno);
        return;
    }
    // Small messages go out at once rather than waiting to be coalesced.
    const int one = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&endpoint_.address),
                  endpoint_.length) == 0) {
        state_ = State::Connected;
    } else if (errno == EINPROGRESS) {
        state_ = State::Connecting;
    } else {
        fail("cannot connect", errno);
    }
}

// Waits up to `waitMilliseconds` (0: not at all) for a connection under way;
// true once connected.
bool TcpSender::settle(int waitMilliseconds) {
    if (state_ == State::Connecting) {
        pollfd watch{socket_, POLLOUT, 0};
        if (::poll(&watch, 1, waitMilliseconds) <= 0) {
            return false;
        }
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            fail("cannot connect", error);
            return false;
        }
        state_ = State::Connected;
    }
    return state_ == State::Connected;
}

void TcpSender::send(std::string_view message) {
    const auto now = Clock::now();
    if (state_ == State::Idle && now >= retryAt_) {
        startConnecting(now);
    }
    // A message is worth sending now or never: none waits for a connection.
    if (!settle(0) || pending_.size() + message.size() > kMaxPending) {
        ++dropped_;
        return;
    }
    pending_.append(message);
    flush();
}

void TcpSender::flush() {
    // What the peer sends (it may talk back) is read and let go, and tells
    // when it has closed the connection.
    char ignored[512];
    for (;;) {
        const ssize_t got = ::recv(socket_, ignored, sizeof ignored, MSG_DONTWAIT);
        if (got == 0) {
            fail("the receiver closed the connection", ECONNRESET);
            return;
        }
        if (got < 0) {
            break;
        }
    }
    while (!pending_.empty()) {
        const ssize_t sent =
            ::send(socket_, pending_.data(), pending_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                fail("cannot send", errno);
            }
            return;
        }
        pending_.erase(0, static_cast<std::size_t>(sent));
    }
}

} // namespace korvala::cli
