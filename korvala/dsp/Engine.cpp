#include "korvala/dsp/Engine.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

Engine::Engine() : shortTimeBuffer(kWindowSize, 0.0f) {}

Engine::~Engine() = default;

void Engine::updateShortTimeBuffer(const std::vector<float>& block) {
    const std::size_t n = block.size();
    if (n > kWindowSize) {
        throw std::out_of_range("Engine: a block may hold at most 2048 samples");
    }
    std::copy(shortTimeBuffer.begin() + static_cast<std::ptrdiff_t>(n), shortTimeBuffer.end(),
              shortTimeBuffer.begin());
    // A broken driver's NaN or infinity would reach every spectrum and level:
    // it enters the window as silence.
    float* tail = shortTimeBuffer.data() + (kWindowSize - n);
    for (std::size_t i = 0; i < n; ++i) {
        tail[i] = std::isfinite(block[i]) ? block[i] : 0.0f;
    }
}

void Engine::run(const std::vector<float>& block, KorDSPData* record) {
    if (record == nullptr) {
        return;
    }
    updateShortTimeBuffer(block);
    // Placeholder until the FFT stage and the feature algorithms arrive: the
    // record receives the window and the tracker's pre-analysis outputs.
    record->channelBuffer() = shortTimeBuffer;
    record->getAlgosOut().bpm = 0.0f;
    record->getAlgosOut().bpmConfidence = 0.0f;
}
