#pragma once

/// Logarithmic scale: log2((value + 1) / divisor).
class LogScale {
public:
    static float calculate(float value, float divisor);
};
