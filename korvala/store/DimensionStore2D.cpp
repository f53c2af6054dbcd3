#include "korvala/store/DimensionStore2D.h"

#include <stdexcept>

DimensionStore2D::DimensionStore2D(unsigned long bands, unsigned long length)
    : bands_(bands), length_(length) {
    stores_.reserve(bands);
    for (unsigned long i = 0; i < bands; ++i) {
        stores_.push_back(std::make_unique<DimensionStore1D>(length));
    }
}

void DimensionStore2D::add(std::vector<float> values) {
    add(values.data(), values.size());
}

void DimensionStore2D::add(const float* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (i >= stores_.size()) {
            throw std::out_of_range("DimensionStore2D::add: more values than bands");
        }
        stores_[i]->add(values[i]);
    }
}

std::vector<std::vector<float>> DimensionStore2D::getDimensionData(dimensionType type) const {
    std::vector<std::vector<float>> result(bands_, std::vector<float>(length_, 0.0f));
    const auto selector = static_cast<std::int32_t>(type);
    if (selector < 0 || selector > 3) {
        return result;
    }
    for (std::size_t i = 0; i < stores_.size(); ++i) {
        const DimensionStore1D& store = *stores_[i];
        const DoubleRingBuffer<float>* ring = nullptr;
        switch (type) {
        case dimensionType::Raw:
            ring = store.getDimensionBuffer();
            break;
        case dimensionType::Mean:
            ring = store.getMeanBuffer();
            break;
        case dimensionType::StdDev:
            ring = store.getStdDevBuffer();
            break;
        case dimensionType::Deviance:
            ring = store.getDevianceBuffer();
            break;
        }
        const float* window = ring->window();
        result[i].assign(window, window + ring->length());
    }
    return result;
}
