#include "tools/korvala/output/UdpSender.h"

#include "tools/korvala/ToolError.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace korvala::cli {

UdpEndpoint resolveUdpEndpoint(const std::string& text, std::uint16_t defaultPort,
                               const std::string& option) {
    const std::string form = defaultPort != 0 ? "HOST[:PORT]" : "HOST:PORT";
    auto malformed = [&]() { return UsageError(option + ": '" + text + "' is not " + form); };
    std::string host = text;
    std::string port;
    bool portGiven = false;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        const std::string rest = close == std::string::npos ? "" : text.substr(close + 1);
        if (close == std::string::npos || (!rest.empty() && rest.front() != ':')) {
            throw malformed();
        }
        host = text.substr(1, close - 1);
        portGiven = !rest.empty();
        port = portGiven ? rest.substr(1) : "";
    } else if (const std::size_t colon = text.find(':');
               colon != std::string::npos && colon == text.rfind(':')) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        portGiven = true;
    } // more than one colon and no brackets: a bare IPv6 address
    if (!portGiven && defaultPort != 0) {
        port = std::to_string(defaultPort);
    }
    if (host.empty() || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::stoul(port) == 0 ||
        std::stoul(port) > 65535) {
        throw malformed();
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (status != 0 || found == nullptr) {
        throw InputError(option + ": cannot resolve '" + host + "': " + ::gai_strerror(status));
    }
    UdpEndpoint endpoint;
    std::memcpy(&endpoint.address, found->ai_addr, found->ai_addrlen);
    endpoint.length = found->ai_addrlen;
    endpoint.text = text;
    ::freeaddrinfo(found);
    return endpoint;
}

UdpSender::UdpSender(UdpEndpoint endpoint) : endpoint_(std::move(endpoint)) {
    socket_ = ::socket(endpoint_.address.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        throw InputError(endpoint_.text + ": cannot open a UDP socket: " + std::strerror(errno));
    }
}

UdpSender::~UdpSender() {
    ::close(socket_);
}

bool UdpSender::send(const void* data, std::size_t size) {
    const ssize_t sent =
        ::sendto(socket_, data, size, MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&endpoint_.address), endpoint_.length);
    if (sent == static_cast<ssize_t>(size)) {
        return true;
    }
    if (failures_++ == 0) {
        firstError_ = sent < 0 ? std::strerror(errno) : "datagram cut short";
    }
    return false;
}

void warnFirstFailure(const std::string& option, const UdpSender& sender) {
    if (sender.failures() == 1) {
        std::cerr << "korvala: " << option << " " << sender.endpoint().text
                  << ": cannot send: " << sender.firstError() << " (going on)\n";
    }
}

void reportFailures(const std::string& option, const UdpSender& sender, std::uint64_t attempted) {
    if (sender.failures() > 0) {
        std::cerr << "korvala: " << option << " " << sender.endpoint().text << ": "
                  << sender.failures() << " of " << attempted
                  << " datagrams not sent (first: " << sender.firstError() << ")\n";
    }
}

} // namespace korvala::cli
