#pragma once

// A small OSC 1.0 encoder: messages of float arguments and bundles of them,
// written into a byte buffer the caller keeps (it grows once, then is reused).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvala::cli {

/// True when `address` is an OSC address: "/" then parts separated by "/",
/// each part non-empty printable ASCII without space # * , / ? [ ] { }.
bool isOscAddress(std::string_view address);

/// Appends one message: the address, the type tags ("," then one 'f' per
/// value) and the values as big-endian 32-bit floats, each part padded with
/// zero bytes to a multiple of 4.
void appendOscMessage(std::vector<std::uint8_t>& out, std::string_view address, const float* values,
                      std::size_t count);

/// Builds one bundle: "#bundle", the time tag, then each message prefixed by
/// its size in bytes (big-endian int32).
class OscBundle {
public:
    /// The time tag "immediately" (seconds 0, fraction 1).
    static constexpr std::uint64_t kImmediately = 1;

    /// Starts a new bundle in `out`, dropping what it held.
    void begin(std::vector<std::uint8_t>& out, std::uint64_t timeTag = kImmediately);
    /// Appends one message element to the bundle begun in `out`.
    void add(std::vector<std::uint8_t>& out, std::string_view address, const float* values,
             std::size_t count);
    /// The size of the bundle header ("#bundle" and the time tag).
    static constexpr std::size_t kHeaderSize = 16;
};

/// The size appendOscMessage gives a message of `count` floats at `address`.
std::size_t oscMessageSize(std::string_view address, std::size_t count);

} // namespace korvala::cli
