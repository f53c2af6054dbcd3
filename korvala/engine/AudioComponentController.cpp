#include "korvala/engine/AudioComponentController.h"

#include "korvala/engine/ComponentTable.h"

#include <cmath>
#include <exception>
#include <stdexcept>

namespace Korvala {

std::unique_ptr<AudioComponentController> AudioComponentController::singleton;

AudioComponentController::AudioComponentController() {
    initializeAudioComponents(audioComponents, audioComponents2D);
    buildSlots();
}

namespace {
template <typename Slots, typename Component>
void setSlot(Slots& slots, const std::string& name, Component* component) {
    for (auto& slot : slots) {
        if (slot.name == name) {
            slot.component = component;
            return;
        }
    }
    slots.push_back({name, component});
}

template <typename Slots> std::size_t findSlot(const Slots& slots, const std::string& name) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].name == name) {
            return i;
        }
    }
    return slots.size();
}
} // namespace

void AudioComponentController::buildSlots() {
    // Catalogue order first (the table lists the registration order), then
    // anything else in byte-wise order.
    for (const char* name : kScalarNames) {
        auto it = audioComponents.find(name);
        if (it != audioComponents.end()) {
            setSlot(scalarSlots_, it->first, it->second);
        }
    }
    for (const auto& entry : audioComponents) {
        setSlot(scalarSlots_, entry.first, entry.second);
    }
    for (const char* name : kVectorNames) {
        auto it = audioComponents2D.find(name);
        if (it != audioComponents2D.end()) {
            setSlot(vectorSlots_, it->first, it->second);
        }
    }
    for (const auto& entry : audioComponents2D) {
        setSlot(vectorSlots_, entry.first, entry.second);
    }
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

void AudioComponentController::setOscillatorTempo(float bpm, float confidence) {
    if (dataLayer) {
        dataLayer->setOscillatorTempo(bpm, confidence);
    }
}

void AudioComponentController::clearOscillatorTempo() {
    if (dataLayer) {
        dataLayer->clearOscillatorTempo();
    }
}

void AudioComponentController::addComponent(std::string name, AudioComponent* component) {
    if (component == nullptr) {
        throw std::invalid_argument("no component given for " + name);
    }
    setSlot(scalarSlots_, name, component);
    audioComponents[std::move(name)] = component;
    orderDirty_ = true;
}

void AudioComponentController::removeComponent(const std::string& name,
                                               const AudioComponent* component) {
    const auto it = audioComponents.find(name);
    if (it != audioComponents.end() && it->second == component) {
        audioComponents.erase(it);
        orderDirty_ = true;
    }
}

void AudioComponentController::addComponent2D(std::string name, AudioComponent2D* component) {
    if (component == nullptr) {
        throw std::invalid_argument("no component given for " + name);
    }
    setSlot(vectorSlots_, name, component);
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

std::size_t AudioComponentController::getComponentIndex(const std::string& name) const {
    const std::size_t index = findSlot(scalarSlots_, name);
    if (index == scalarSlots_.size()) {
        throw std::runtime_error("no scalar component named " + name);
    }
    return index;
}

AudioComponent* AudioComponentController::getComponentAt(std::size_t index) const {
    return index < scalarSlots_.size() ? scalarSlots_[index].component : nullptr;
}

std::size_t AudioComponentController::getComponentIndex2D(const std::string& name) const {
    const std::size_t index = findSlot(vectorSlots_, name);
    if (index == vectorSlots_.size()) {
        throw std::runtime_error("no vector component named " + name);
    }
    return index;
}

AudioComponent2D* AudioComponentController::getComponent2DAt(std::size_t index) const {
    return index < vectorSlots_.size() ? vectorSlots_[index].component : nullptr;
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
    // An exception (say from the host's transition callback) must not leave
    // half a frame: every component still advances, then the first exception
    // goes on to the caller.
    std::exception_ptr failure;
    for (std::size_t i = 0; i < scalarOrder_.size(); ++i) {
        try {
            scalarOrder_[i]->updateParent(dataLayer.get(), dt, userInputs);
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    // The vectors are read afterwards through getValue: no copy per frame. No
    // scalar reads a vector, so leaving them out changes no scalar.
    const std::size_t vectors = vectorsUpdated_ ? vectorOrder_.size() : 0;
    for (std::size_t i = 0; i < vectors; ++i) {
        try {
            vectorOrder_[i]->advance(dataLayer.get(), dt, userInputs);
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
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
