#pragma once

#include "korvala/store/DimensionStore1D.h"
#include "korvala/store/dimensionType.h"

#include <memory>
#include <vector>

/// History of a vector feature: one DimensionStore1D per element ("band").
class DimensionStore2D {
public:
    /// `bands` band histories of `length` values each, all zero.
    DimensionStore2D(unsigned long bands, unsigned long length);

    /// Band i takes element i. More elements than bands raise std::out_of_range
    /// at the first surplus element (earlier bands are already updated).
    void add(std::vector<float> values);
    /// Same as add(vector) on n values, without taking a copy.
    void add(const float* values, std::size_t n);

    /// A full copy: one row per band, oldest first. Values above 3 give zeros.
    std::vector<std::vector<float>> getDimensionData(dimensionType type) const;

    unsigned long bands() const { return static_cast<unsigned long>(bands_); }
    unsigned long length() const { return static_cast<unsigned long>(length_); }
    /// Band i's own history (i < bands()).
    DimensionStore1D* band(unsigned long i) const { return stores_[i].get(); }

private:
    std::uint64_t bands_;
    std::uint64_t length_;
    std::vector<std::unique_ptr<DimensionStore1D>> stores_;
};
