#pragma once

// Sends datagrams to one UDP endpoint given as HOST:PORT.

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/socket.h>

namespace korvala::cli {

/// A resolved UDP destination.
struct UdpEndpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string text; ///< as the user gave it, for messages
};

/// Resolves "HOST:PORT", "[IPV6]:PORT" or, when `defaultPort` is not 0, a bare
/// HOST. A malformed text raises UsageError, a host that does not resolve
/// InputError; both name `option`.
UdpEndpoint resolveUdpEndpoint(const std::string& text, std::uint16_t defaultPort,
                               const std::string& option);

/// One unconnected UDP socket sending to one endpoint. A failed send is
/// counted, not thrown: a show goes on when a receiver is away.
class UdpSender {
public:
    explicit UdpSender(UdpEndpoint endpoint);
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    /// Sends one datagram; false (and the error kept) when the system refused it.
    bool send(const void* data, std::size_t size);
    std::uint64_t failures() const { return failures_; }
    /// The reason for the first failed send, empty while none failed.
    const std::string& firstError() const { return firstError_; }
    const UdpEndpoint& endpoint() const { return endpoint_; }

private:
    UdpEndpoint endpoint_;
    int socket_ = -1;
    std::uint64_t failures_ = 0;
    std::string firstError_;
};

/// One line on standard error at a sender's first failed send, naming the option.
void warnFirstFailure(const std::string& option, const UdpSender& sender);
/// One line on standard error at the end of a run when sends failed.
void reportFailures(const std::string& option, const UdpSender& sender, std::uint64_t attempted);

} // namespace korvala::cli
