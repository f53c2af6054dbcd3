// The fixed catalogue of named components every controller registers. The
// names are the host's vocabulary; each entry is its own object.
#include "korvala/engine/AudioComponentController.h"

namespace Korvala {

template <typename T, typename... Args>
T* AudioComponentController::makeScalar(Args&&... args) {
    ownedScalars_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T*>(ownedScalars_.back().get());
}

template <typename T, typename... Args>
T* AudioComponentController::makeVector(Args&&... args) {
    ownedVectors_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T*>(ownedVectors_.back().get());
}

void AudioComponentController::initializeAudioComponents(ScalarMap& scalars, VectorMap& vectors) {
    auto scalar = [&scalars, this](const char* name, AudioComponent* component) {
        scalars[name] = component;
        orderDirty_ = true;
    };
    auto vector = [&vectors, this](const char* name, AudioComponent2D* component) {
        vectors[name] = component;
        orderDirty_ = true;
    };

    // ---- scalar components -------------------------------------------------
    (void)scalar;
    // ---- end of scalar components -------------------------------------------

    // ---- vector components -------------------------------------------------
    (void)vector;
    // ---- end of vector components -------------------------------------------
}

} // namespace Korvala
