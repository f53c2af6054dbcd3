#pragma once

// A spectrum-over-time picture for the report: each frame's spectrum folded
// into rows evenly spaced in log frequency and quantised to 8 bits, frames
// pooled into columns.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvala::cli {

/// Collects one column per frame until `maxColumns` are full, then halves the
/// column count by pooling neighbours, so any run length fits in a fixed size.
/// Pooling keeps the maximum, so a short burst never disappears.
class SpectrogramImage {
public:
    static constexpr std::size_t kDefaultRows = 128;
    static constexpr std::size_t kDefaultMaxColumns = 4096;

    /// `bins` is the spectrum length; `maxColumns` must be even and ≥ 2.
    SpectrogramImage(std::size_t bins, std::size_t rows = kDefaultRows,
                     std::size_t maxColumns = kDefaultMaxColumns);

    /// Adds one frame's spectrum (values expected in [0, 1]; shorter input is
    /// taken as zeros beyond its end, extra values are ignored).
    void add(const std::vector<float>& spectrum);

    /// 0 for v ≤ 0 or NaN, 255 for v ≥ 1, else v × 255 rounded.
    static std::uint8_t quantise(float v);

    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return pixels_.size() / rows_; }
    /// Frames pooled into each column (the last column may hold fewer).
    std::uint64_t framesPerColumn() const { return framesPerColumn_; }
    /// Column after column, `rows()` bytes each, lowest frequency first.
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    /// Row r pools bins [rowFirstBin()[r], rowEndBin()[r]): row r starts at
    /// bin round(bins^(r / rows)) (row 0 at bin 0) and is at least one bin wide,
    /// so low rows may repeat a bin and the rows together cover every bin.
    const std::vector<std::size_t>& rowFirstBin() const { return first_; }
    const std::vector<std::size_t>& rowEndBin() const { return end_; }

private:
    void halveColumns();

    std::size_t rows_;
    std::size_t maxColumns_;
    std::vector<std::size_t> first_;
    std::vector<std::size_t> end_;
    std::vector<std::uint8_t> pixels_;
    std::uint64_t framesPerColumn_ = 1;
    std::uint64_t framesInLastColumn_ = 0;
};

} // namespace korvala::cli
