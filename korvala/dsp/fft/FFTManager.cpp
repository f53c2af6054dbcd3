#include "korvala/dsp/fft/FFTManager.h"

#include "korvala/dsp/fft/SpectrumStage.h"

#include <stdexcept>

FFTManager::FFTManager(unsigned int n) : stage_(std::make_unique<SpectrumStage>(n)) {
    for (std::vector<float>* v :
         {&bins_.real, &bins_.imag, &bins_.magnitudes, &bins_.squaredMagnitudes, &bins_.phases}) {
        v->assign(stage_->bins(), 0.0f);
    }
    vectors_ = bins_;
}

FFTManager::~FFTManager() = default;

void FFTManager::setFilter(WindowingFunction type) {
    stage_->setWindow(type);
}

void FFTManager::transform(const std::vector<float>& input, KorDSPData* record) {
    if (input.size() != stage_->size()) {
        throw std::invalid_argument("FFTManager::transform: the input must hold exactly N samples");
    }
    if (record != nullptr) {
        record->channelBuffer().assign(input.begin(), input.end());
    }
    fillBins(input.data());
    if (record != nullptr) {
        // Assigned vector by vector: the record keeps its storage from block to block.
        record->getFFTOut() = bins_;
    }
    populateVectors();
}

KorFFTOut FFTManager::getFFTData(float* buffer) {
    processSamples(buffer);
    return bins_;
}

void FFTManager::processSamples(float* buffer) {
    fillBins(buffer);
    multiplyByFilter(buffer);
}

void FFTManager::fillBins(const float* samples) {
    stage_->run(samples, bins_.real.data(), bins_.imag.data(), bins_.squaredMagnitudes.data(),
                bins_.magnitudes.data());
    SpectrumStage::phases(bins_.real.data(), bins_.imag.data(), bins_.phases.data(),
                          stage_->bins());
}

void FFTManager::normalize() {
    const float scale = stage_->scale();
    for (std::size_t k = 0; k < stage_->bins(); ++k) {
        bins_.real[k] = bins_.real[k] * scale;
        bins_.imag[k] = bins_.imag[k] * scale;
    }
}

void FFTManager::multiplyByFilter(float* buffer) {
    stage_->window().apply_window(buffer);
}

void FFTManager::populateVectors() {
    vectors_ = bins_;
}
