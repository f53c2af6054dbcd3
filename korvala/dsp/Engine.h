#pragma once

#include "korvala/dsp/features/BandLevels.h"
#include "korvala/dsp/features/BlockFeatures.h"
#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/dsp/tempo/Algorithm_BPM.h"
#include "korvala/record/KorDSPData.h"
#include "korvala/store/KorPersistentData.h"

#include <memory>
#include <vector>

/// The analysis driver: keeps the sliding 2048-sample window and turns each
/// audio block into one filled analysis record.
class Engine {
public:
    static constexpr std::size_t kWindowSize = 2048;
    static constexpr float kSampleRate = 44100.0f;
    /// Largest sample magnitude taken as audio (60 dB above full scale).
    static constexpr float kSampleLimit = 1000.0f;

    /// Builds the 2048-point Blackman FFT stage and the tempo tracker (decimation 12).
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    /// The store's feature map; must be set before the first run().
    void setPersistentDataContainer(KorPersistentData* data) { persistentData = data; }

    /// Analyses one block (at most 2048 samples) into `record`; null does nothing.
    /// A longer block raises std::out_of_range, a missing feature map
    /// std::logic_error, both before any state changes.
    void run(const std::vector<float>& block, KorDSPData* record);

    /// Slides `block` into the window, the oldest samples falling off the front.
    /// Non-finite samples and those beyond ±kSampleLimit enter as 0.
    void updateShortTimeBuffer(const std::vector<float>& block);

    const std::vector<float>& getShortTimeBuffer() const { return shortTimeBuffer; }
    const FFTManager& getFFTManager() const { return *fftManager; }

    /// With `onRequest` set, run leaves the record's phases untouched (see
    /// FFTManager::setPhasesOnRequest); nothing in the analysis reads them.
    void setPhasesOnRequest(bool onRequest) { fftManager->setPhasesOnRequest(onRequest); }

private:
    std::unique_ptr<FFTManager> fftManager;
    KorPersistentData* persistentData = nullptr;
    BlockFeatures features;
    // The five named bands, then the 22 tempo bands, then the 35 display bands.
    BandLevels bandLevels;
    std::vector<float> levels;
    Algorithm_BPM bpmAlgorithm;
    float dominantFrequencyCount;
    std::vector<float> shortTimeBuffer;
    // Samples the window has slid by since the block features last saw it
    // (updateShortTimeBuffer may also be called on its own), at most its length.
    std::size_t slidSinceFeatures = 0;
};
