#include "tools/korvala/SpectrogramImage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korvala::cli {

SpectrogramImage::SpectrogramImage(std::size_t bins, std::size_t rows, std::size_t maxColumns)
    : rows_(std::min(rows, bins)), maxColumns_(maxColumns) {
    if (bins == 0 || rows == 0 || maxColumns < 2 || maxColumns % 2 != 0) {
        throw std::invalid_argument("SpectrogramImage: bins and rows must be positive and "
                                    "maxColumns even and at least 2");
    }
    // Row edges grow geometrically from bin 1 to the top bin, each row at least
    // one bin wide, so the low rows are single bins and the high rows wide.
    edges_.assign(rows_ + 1, 0);
    edges_[rows_] = bins;
    for (std::size_t r = 1; r < rows_; ++r) {
        const double geometric = std::pow(static_cast<double>(bins),
                                          static_cast<double>(r) / static_cast<double>(rows_));
        const std::size_t wanted = static_cast<std::size_t>(std::lround(geometric));
        const std::size_t lowest = edges_[r - 1] + 1;
        const std::size_t highest = bins - (rows_ - r);
        edges_[r] = std::clamp(wanted, lowest, highest);
    }
}

std::uint8_t SpectrogramImage::quantise(float v) {
    if (!(v > 0.0f)) {
        return 0;
    }
    if (v >= 1.0f) {
        return 255;
    }
    return static_cast<std::uint8_t>(v * 255.0f + 0.5f);
}

void SpectrogramImage::add(const std::vector<float>& spectrum) {
    if (framesInLastColumn_ == 0) {
        pixels_.resize(pixels_.size() + rows_, 0);
    }
    std::uint8_t* column = pixels_.data() + pixels_.size() - rows_;
    for (std::size_t r = 0; r < rows_; ++r) {
        std::uint8_t peak = column[r];
        const std::size_t end = std::min(edges_[r + 1], spectrum.size());
        for (std::size_t bin = edges_[r]; bin < end; ++bin) {
            peak = std::max(peak, quantise(spectrum[bin]));
        }
        column[r] = peak;
    }
    if (++framesInLastColumn_ == framesPerColumn_) {
        framesInLastColumn_ = 0;
        if (columns() == maxColumns_) {
            halveColumns();
        }
    }
}

void SpectrogramImage::halveColumns() {
    const std::size_t half = columns() / 2;
    for (std::size_t c = 0; c < half; ++c) {
        for (std::size_t r = 0; r < rows_; ++r) {
            pixels_[c * rows_ + r] =
                std::max(pixels_[2 * c * rows_ + r], pixels_[(2 * c + 1) * rows_ + r]);
        }
    }
    pixels_.resize(half * rows_);
    framesPerColumn_ *= 2;
}

} // namespace korvala::cli
