#include "tools/korvala/output/OscEncoder.h"

#include <cstring>

namespace korvala::cli {

namespace {
std::size_t padded(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

// A string and its terminating zero, padded with zeros to a multiple of 4.
void appendPaddedString(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.resize(out.size() + padded(text.size() + 1) - text.size(), 0);
}

void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}
} // namespace

bool isOscAddress(std::string_view address) {
    if (address.size() < 2 || address.front() != '/' || address.back() == '/') {
        return false;
    }
    char previous = '\0';
    for (const char c : address) {
        if (c == '/' && previous == '/') {
            return false;
        }
        if (c <= ' ' || c > '~' || std::strchr("#*,?[]{}", c) != nullptr) {
            return false;
        }
        previous = c;
    }
    return true;
}

std::size_t oscMessageSize(std::string_view address, std::size_t count) {
    return padded(address.size() + 1) + padded(count + 2) + 4 * count;
}

void appendOscMessage(std::vector<std::uint8_t>& out, std::string_view address, const float* values,
                      std::size_t count) {
    appendPaddedString(out, address);
    out.push_back(',');
    out.insert(out.end(), count, 'f');
    out.resize(out.size() + padded(count + 2) - (count + 1), 0);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        appendBigEndian32(out, bits);
    }
}

void OscBundle::begin(std::vector<std::uint8_t>& out, std::uint64_t timeTag) {
    out.clear();
    appendPaddedString(out, "#bundle");
    appendBigEndian32(out, static_cast<std::uint32_t>(timeTag >> 32));
    appendBigEndian32(out, static_cast<std::uint32_t>(timeTag));
}

void OscBundle::add(std::vector<std::uint8_t>& out, std::string_view address, const float* values,
                    std::size_t count) {
    appendBigEndian32(out, static_cast<std::uint32_t>(oscMessageSize(address, count)));
    appendOscMessage(out, address, values, count);
}

} // namespace korvala::cli
