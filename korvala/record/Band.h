#pragma once

#include <cstdint>

/// A frequency band in whole Hz.
struct Band {
    std::int32_t low;
    std::int32_t high;
};
