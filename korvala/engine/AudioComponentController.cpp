#include "korvala/engine/AudioComponentController.h"

#include <cmath>
#include <stdexcept>

namespace Korvala {

std::unique_ptr<AudioComponentController> AudioComponentController::singleton;

AudioComponentController::AudioComponentController() {
    initializeAudioComponents(audioComponents, audioComponents2D);
}

AudioComponentController::~AudioComponentController() = default;

AudioComponentController* AudioComponentController::getSingleton() {
    if (!singleton) {
        singleton = std::make_unique<AudioComponentController>();
    }
    return singleton.get();
}

void AudioComponentController::setStore(DSPStore* store) {
    dataLayer = std::make_unique<AudioComponentDataLayer>(store);
}

void AudioComponentController::addComponent(std::string name, AudioComponent* component) {
    audioComponents[std::move(name)] = component;
    orderDirty_ = true;
}

void AudioComponentController::addComponent2D(std::string name, AudioComponent2D* component) {
    audioComponents2D[std::move(name)] = component;
    orderDirty_ = true;
}

AudioComponent* AudioComponentController::getComponent(std::string name) {
    auto it = audioComponents.find(name);
    if (it == audioComponents.end()) {
        throw std::runtime_error("no scalar component named " + name);
    }
    return it->second;
}

AudioComponent2D* AudioComponentController::getComponent2D(std::string name) {
    auto it = audioComponents2D.find(name);
    if (it == audioComponents2D.end()) {
        throw std::runtime_error("no vector component named " + name);
    }
    return it->second;
}

std::vector<std::string> AudioComponentController::getComponentNames() const {
    std::vector<std::string> names;
    names.reserve(audioComponents.size());
    for (const auto& entry : audioComponents) {
        names.push_back(entry.first);
    }
    return names;
}

std::vector<std::string> AudioComponentController::getComponentNames2D() const {
    std::vector<std::string> names;
    names.reserve(audioComponents2D.size());
    for (const auto& entry : audioComponents2D) {
        names.push_back(entry.first);
    }
    return names;
}

void AudioComponentController::refreshUpdateOrder() {
    scalarOrder_.clear();
    for (const auto& entry : audioComponents) {
        scalarOrder_.push_back(entry.second);
    }
    vectorOrder_.clear();
    for (const auto& entry : audioComponents2D) {
        vectorOrder_.push_back(entry.second);
    }
    orderDirty_ = false;
}

void AudioComponentController::updateComponents(float dt) {
    // A frame time that is not a finite non-negative number would drive every
    // clock, accumulator and timer backwards or to NaN for good.
    if (!(dt >= 0.0f) || !std::isfinite(dt)) {
        dt = 0.0f;
    }
    if (orderDirty_) {
        refreshUpdateOrder();
    }
    // Iterate over the snapshot: registrations made during the frame (for
    // instance from the transition callback) take effect on the next frame.
    for (std::size_t i = 0; i < scalarOrder_.size(); ++i) {
        scalarOrder_[i]->updateParent(dataLayer.get(), dt, userInputs);
    }
    // The vectors are read afterwards through getValue: no copy per frame.
    for (std::size_t i = 0; i < vectorOrder_.size(); ++i) {
        vectorOrder_[i]->advance(dataLayer.get(), dt, userInputs);
    }
}

void AudioComponentController::resetComponents() {
    const ScalarMap scalars = audioComponents;
    for (const auto& entry : scalars) {
        entry.second->reset();
    }
    const VectorMap vectors = audioComponents2D;
    for (const auto& entry : vectors) {
        entry.second->reset();
    }
}

std::unordered_map<std::string, float> AudioComponentController::getComponentValues() const {
    std::unordered_map<std::string, float> result;
    for (const auto& entry : audioComponents) {
        result[entry.first] = entry.second->getValue();
    }
    return result;
}

std::unordered_map<std::string, std::vector<float>>
AudioComponentController::getComponentValues2D() const {
    std::unordered_map<std::string, std::vector<float>> result;
    for (const auto& entry : audioComponents2D) {
        result[entry.first] = entry.second->getValue();
    }
    return result;
}

namespace {
float clampUnit(float value) {
    if (0.0f > value) {
        return 0.0f;
    }
    if (value > 1.0f) {
        return 1.0f;
    }
    return value;
}
} // namespace

void AudioComponentController::setAudioSpeedUI(float value) {
    if (std::isfinite(value)) {
        userInputs.audioSpeed = clampUnit(value);
    }
}

void AudioComponentController::setReactivityUI(float value) {
    if (std::isfinite(value)) {
        userInputs.reactivity = clampUnit(value);
    }
}

} // namespace Korvala
