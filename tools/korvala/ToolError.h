#pragma once

// The two kinds of failure the command reports, each with its exit status.

#include <stdexcept>
#include <string>

namespace korvala::cli {

/// A malformed command line or an option out of range: exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

/// An input or output that cannot be read, decoded or written: exit status 1.
class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace korvala::cli
