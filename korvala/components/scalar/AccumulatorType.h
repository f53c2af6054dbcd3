#pragma once

#include <cstdint>

/// How an Accumulator follows its input.
enum class AccumulatorType : std::int32_t {
    Peak = 0,   ///< decays toward 0, jumps up to any larger input
    Smooth = 1, ///< moves a fraction of the way toward the input
    Trough = 2, ///< grows away from 0, drops down to any smaller input
};
