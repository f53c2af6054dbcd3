#pragma once

#include "korvala/dsp/KorDSPData.h"
#include "korvala/store/KorPersistentData.h"

#include <vector>

/// The analysis driver: keeps the sliding 2048-sample window and turns each
/// audio block into one filled analysis record.
class Engine {
public:
    static constexpr std::size_t kWindowSize = 2048;

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    /// The store's feature map; must be set before the first run().
    void setPersistentDataContainer(KorPersistentData* data) { persistentData = data; }

    /// Analyses one block (at most 2048 samples) into `record`; null does nothing.
    /// A longer block raises std::out_of_range before any state changes.
    void run(const std::vector<float>& block, KorDSPData* record);

    /// Slides `block` into the window, the oldest samples falling off the front.
    /// Non-finite samples enter as 0.
    void updateShortTimeBuffer(const std::vector<float>& block);

    const std::vector<float>& getShortTimeBuffer() const { return shortTimeBuffer; }

private:
    KorPersistentData* persistentData = nullptr;
    std::vector<float> shortTimeBuffer;
};
