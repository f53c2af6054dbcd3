#include "tools/korvala/report/SpectrogramImage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korvala::cli {

SpectrogramImage::SpectrogramImage(std::size_t bins, std::size_t rows, std::size_t maxColumns)
    : rows_(rows), maxColumns_(maxColumns) {
    if (bins == 0 || rows == 0 || maxColumns < 2 || maxColumns % 2 != 0) {
        throw std::invalid_argument("SpectrogramImage: bins and rows must be positive and "
                                    "maxColumns even and at least 2");
    }
    // Rows evenly spaced in log frequency from bin 1 to the top bin; a row
    // narrower than a bin repeats the bin, so bass gets as many rows as treble.
    auto startOf = [&](std::size_t r) {
        const double position = static_cast<double>(r) / static_cast<double>(rows_);
        return static_cast<std::size_t>(std::lround(std::pow(static_cast<double>(bins), position)));
    };
    first_.resize(rows_);
    end_.resize(rows_);
    for (std::size_t r = 0; r < rows_; ++r) {
        first_[r] = r == 0 ? 0 : std::min(startOf(r), bins - 1);
        end_[r] = std::max(first_[r] + 1, std::min(startOf(r + 1), bins));
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
        const std::size_t end = std::min(end_[r], spectrum.size());
        for (std::size_t bin = first_[r]; bin < end; ++bin) {
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
