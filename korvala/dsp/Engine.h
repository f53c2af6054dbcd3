#pragma once

#include "korvala/dsp/features/BlockPass.h"
#include "korvala/dsp/fft/SpectrumStage.h"
#include "korvala/dsp/tempo/Algorithm_BPM.h"
#include "korvala/record/KorDSPData.h"
#include "korvala/store/KorPersistentData.h"

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

    /// Analyses one block (at most 2048 samples) into `record`, all but the
    /// phases (see completePhases); null does nothing.
    /// A longer block raises std::out_of_range, a missing feature map
    /// std::logic_error, both before any state changes.
    void run(const std::vector<float>& block, KorDSPData* record);

    /// Slides `block` into the window, the oldest samples falling off the front.
    /// Non-finite samples and those beyond ±kSampleLimit enter as 0.
    void updateShortTimeBuffer(const std::vector<float>& block);

    const std::vector<float>& getShortTimeBuffer() const { return shortTimeBuffer; }

    /// Fills the phases of the record the latest run wrote, if it has not been
    /// done since. run leaves them out: nothing in the analysis reads them, and
    /// their arc tangents would be a tenth of every block's cost.
    void completePhases(KorDSPData& record);

private:
    /// The window's spectrum into `bins`, all but the phases.
    void spectrumInto(KorFFTOut& bins);

    SpectrumStage spectrum;
    // The latest run's record still lacks its phases.
    bool phasesPending = false;
    KorPersistentData* persistentData = nullptr;
    BlockPass blockPass;
    Algorithm_BPM bpmAlgorithm;
    float dominantFrequencyCount;
    std::vector<float> shortTimeBuffer;
    // Samples the window has slid by since the block pass last saw it
    // (updateShortTimeBuffer may also be called on its own), at most its length.
    std::size_t slidSinceFeatures = 0;
};
