#pragma once

#include <cstdint>

/// Which of a band's four windows DimensionStore2D::getDimensionData returns.
enum class dimensionType : std::int32_t { Raw = 0, Mean = 1, StdDev = 2, Deviance = 3 };
