#pragma once

#include "korvala/Export.h"

#include "korvala/engine/AudioComponentController.h"
#include "korvala/engine/ComponentTable.h"
#include "korvala/engine/Version.h"

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class DSPStore;
class KorDSPData;
struct KorAlgosOut;
class Engine;
class ThresholdDecayComponent;

namespace Korvala {

/// A layer above the engine that follows its results as they are made (the
/// felt tempo, for one): told after every block and before every frame, so
/// the host keeps calling only processAudio and update. Both calls run on the
/// host's audio or frame thread and must not allocate, lock or block.
class AnalysisObserver {
public:
    virtual ~AnalysisObserver() = default;
    /// After processAudio analysed a block of `samples` samples; `results` is
    /// the block's record without its phases.
    virtual void blockAnalysed(const KorAlgosOut& results, std::size_t samples) = 0;
    /// At the start of update(dt), before any component advances.
    virtual void frameStarting(float dt) = 0;
};

/// The host's interface: push mono 44.1 kHz float blocks with processAudio,
/// advance the named components once per frame with update, read their values
/// by name. Not thread-safe: the host serialises every call.
class KORVALA_API AudioEngine {
public:
    /// Builds store, record, analysis driver, controller (with the catalogue)
    /// and the transition component "kor_Threshold".
    AudioEngine();
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    int getBufferSize() const { return 2048; }
    int getSampleRate() const { return 44100; }

    /// The power spectrum of the latest block (1024 values; empty before the first block).
    std::vector<float> getFFTBADFUNCTION();

    /// The latest block's analysis record (tempo, levels, spectra), read-only.
    /// Its phases are computed here, on the first read after a block.
    const KorDSPData& getAnalysisRecord() const;

    /// Analyses one block of at most 2048 samples and stores its features.
    /// A longer block raises std::out_of_range and changes nothing; an empty
    /// block is no block and changes nothing either.
    void processAudio(std::vector<float>& samples);

    /// Restarts the engine's own random sequence ("kor_RandomOnBeat") as
    /// srand(seed) restarts rand(). Unseeded, every engine draws what rand()
    /// gives a program that never seeds it; the C library's rand() itself is
    /// never used, so engines do not disturb each other or the host.
    void setRandomSeed(unsigned int seed);

    void setReactivityUserInput(float value);
    void setAudioSpeedUserInput(float value);

    /// Installs (or with null removes) the one observer; none by default.
    void setObserver(AnalysisObserver* observer) { observer_ = observer; }

    /// Lets the tempo oscillators ("kor_BPMSin", "kor_BPMTri", their multiples
    /// and "kor_BPMTwitcher") run at `bpm` and scale by `confidence` instead of
    /// the tracker's values, until clearOscillatorTempo. Off by default; the
    /// tracker's own outputs ("kor_BPM", "kor_BPMConfidence") never change.
    void setOscillatorTempo(float bpm, float confidence);
    void clearOscillatorTempo();

    /// Advances every component by one frame of dt seconds. An exception thrown
    /// by the transition handler leaves update() only after the whole frame is
    /// done, so the handler may throw without desynchronising the components.
    void update(float dt);
    void resetComponents();
    /// On by default. Off, update() advances the scalar components only: the
    /// vectors keep their last values (empty before the first update) and their
    /// work is saved, for hosts that read no vector. The scalars are the same
    /// either way; switched on again, the vectors go on from where they stopped.
    void setVectorsUpdated(bool on);
    bool vectorsUpdated() const;

    /// The value of a scalar component; std::runtime_error for an unknown name.
    float getComponent(std::string name);
    /// The vector of a vector component; std::runtime_error for an unknown name.
    std::vector<float> getComponent2D(std::string name);
    /// Reads by index, for hosts that read values every frame: look each name up
    /// once with getComponentIndex (std::runtime_error for an unknown name, as
    /// getComponent), then read with getComponentAt, which allocates nothing and
    /// compares no strings. The catalogue's scalars have their position in
    /// kScalarNames (ComponentTable.h), so index i is kScalarNames[i];
    /// components a host registers later follow. An index past the end raises
    /// std::out_of_range.
    std::size_t getComponentIndex(const std::string& name) const;
    float getComponentAt(std::size_t index) const;
    /// The same for vectors (positions in kVectorNames): copies at most
    /// `capacity` values to `out` and returns the vector's full length
    /// (kVectorLengths[i] after the first update); no allocation.
    std::size_t getComponentIndex2D(const std::string& name) const;
    std::size_t getComponent2DAt(std::size_t index, float* out, std::size_t capacity) const;

    std::unordered_map<std::string, float> getAllComponents();
    std::unordered_map<std::string, std::vector<float>> getAllComponents2D();

    /// Installs the transition handler; it runs inside update() on the caller's thread.
    void setTransitionComponent(void (*callback)(void*), void* context);
    /// Runs the transition handler now (if one is set).
    void triggerTransition();

    /// The engine's own registry (for hosts that add components or list names).
    AudioComponentController& getController() { return *controller; }

private:
    std::unique_ptr<DSPStore> store;
    std::unique_ptr<KorDSPData> dspData;
    std::unique_ptr<ThresholdDecayComponent> transition;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<AudioComponentController> controller;
    AnalysisObserver* observer_ = nullptr;
};

} // namespace Korvala
