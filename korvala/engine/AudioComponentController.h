#pragma once

#include "korvala/Export.h"

#include "korvala/components/AudioComponent.h"
#include "korvala/components/AudioComponent2D.h"
#include "korvala/components/AudioComponentDataLayer.h"
#include "korvala/components/RandomSequence.h"
#include "korvala/components/UserInputs.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class DSPStore;

namespace Korvala {

/// Registry of named components: updates them once per frame in byte-wise
/// name order (scalars first, then vectors) and serves their values.
///
/// Components registered with addComponent stay owned by the caller; the
/// catalogue components the controller creates itself are released with it.
class KORVALA_API AudioComponentController {
public:
    using ScalarMap = std::map<std::string, AudioComponent*>;
    using VectorMap = std::map<std::string, AudioComponent2D*>;

    /// Empty registry with user controls at 0.5, then the fixed catalogue.
    AudioComponentController();
    ~AudioComponentController();
    AudioComponentController(const AudioComponentController&) = delete;
    AudioComponentController& operator=(const AudioComponentController&) = delete;

    /// The process-wide controller (full catalogue, no store bound). Not thread-safe.
    static AudioComponentController* getSingleton();

    /// Binds the store all components read from (replacing any earlier binding).
    void setStore(DSPStore* store);

    /// Registers under `name`, replacing (not deleting) a component already there.
    /// A null component raises std::invalid_argument and registers nothing.
    void addComponent(std::string name, AudioComponent* component);
    void addComponent2D(std::string name, AudioComponent2D* component);
    /// Unregisters `name` if `component` is what it holds (a caller-owned one
    /// going away); does nothing otherwise.
    void removeComponent(const std::string& name, const AudioComponent* component);

    /// The component under `name`; std::runtime_error if there is none.
    AudioComponent* getComponent(std::string name);
    AudioComponent2D* getComponent2D(std::string name);

    /// A stable index of scalar `name` for getComponentAt, looked up once (it
    /// allocates nothing per read). The catalogue's scalars have their position in
    /// kScalarNames (ComponentTable.h); names registered later follow in the
    /// order they were first registered. std::runtime_error for an unknown name.
    std::size_t getComponentIndex(const std::string& name) const;
    /// The scalar at `index` (the one registered last under its name); nullptr
    /// past the end. No allocation, no name lookup.
    AudioComponent* getComponentAt(std::size_t index) const;
    /// The same for vectors: positions in kVectorNames, then later names.
    std::size_t getComponentIndex2D(const std::string& name) const;
    AudioComponent2D* getComponent2DAt(std::size_t index) const;

    ScalarMap getAudioComponents() const { return audioComponents; }
    VectorMap getAudioComponents2D() const { return audioComponents2D; }
    std::vector<std::string> getComponentNames() const;
    std::vector<std::string> getComponentNames2D() const;

    /// One frame: every scalar (dt limited to 0.5 s), then every vector.
    /// A negative or non-finite dt counts as 0. If a component throws (for
    /// instance the host's transition callback), the frame still completes:
    /// the others advance as usual, then the first exception is rethrown.
    void updateComponents(float dt);
    void resetComponents();
    /// Off: updateComponents advances the scalars only (see AudioEngine::setVectorsUpdated).
    void setVectorsUpdated(bool on) { vectorsUpdated_ = on; }
    bool vectorsUpdated() const { return vectorsUpdated_; }

    /// The tempo the oscillators read instead of the tracker's (see
    /// AudioComponentDataLayer::getOscillatorScalar); needs a bound store.
    void setOscillatorTempo(float bpm, float confidence);
    void clearOscillatorTempo();

    std::unordered_map<std::string, float> getComponentValues() const;
    std::unordered_map<std::string, std::vector<float>> getComponentValues2D() const;

    /// Restarts the sequence "kor_RandomOnBeat" draws from, as srand(seed)
    /// restarts rand(); a new controller starts as if seeded with 1.
    void seedRandom(unsigned int seed) { random_.seed(seed); }

    /// Clamp to [0, 1]; a non-finite value is ignored and the previous one stays.
    void setAudioSpeedUI(float value);
    void setReactivityUI(float value);
    const UserInputs& getUserInputs() const { return userInputs; }

    /// Creates the fixed catalogue and registers it into the two maps.
    void initializeAudioComponents(ScalarMap& scalars, VectorMap& vectors);

private:
    template <typename T, typename... Args> T* makeScalar(Args&&... args);
    template <typename T, typename... Args> T* makeVector(Args&&... args);
    void refreshUpdateOrder();
    void buildSlots();

    template <typename T> struct Slot {
        std::string name;
        T* component;
    };

    // The catalogue's random component draws from it: declared first, so it
    // outlives every component.
    RandomSequence random_;
    ScalarMap audioComponents;
    VectorMap audioComponents2D;
    std::unique_ptr<AudioComponentDataLayer> dataLayer;
    UserInputs userInputs;

    // Update order snapshot, rebuilt only when a registration changed the maps:
    // the same effect as copying the maps every frame, without the allocations.
    std::vector<AudioComponent*> scalarOrder_;
    std::vector<AudioComponent2D*> vectorOrder_;
    bool orderDirty_ = true;
    bool vectorsUpdated_ = true;

    // Index-based reads: one slot per name, in catalogue order, then in order of
    // first registration; addComponent keeps each slot's pointer current.
    std::vector<Slot<AudioComponent>> scalarSlots_;
    std::vector<Slot<AudioComponent2D>> vectorSlots_;

    std::vector<std::unique_ptr<AudioComponent>> ownedScalars_;
    std::vector<std::unique_ptr<AudioComponent2D>> ownedVectors_;

    static std::unique_ptr<AudioComponentController> singleton;
};

} // namespace Korvala
