#include "korvala/engine/AudioEngine.h"

#include "korvala/components/scalar/ThresholdDecayComponent.h"
#include "korvala/dsp/Engine.h"
#include "korvala/record/KorDSPData.h"
#include "korvala/store/DSPStore.h"

#include <stdexcept>
#include <string>

namespace Korvala {

AudioEngine::AudioEngine() {
    store = std::make_unique<DSPStore>();
    dspData = std::make_unique<KorDSPData>();
    engine = std::make_unique<Engine>();
    engine->setPersistentDataContainer(store->getPersistentData());
    controller = std::make_unique<AudioComponentController>();
    controller->setStore(store.get());
    transition = std::make_unique<ThresholdDecayComponent>();
    controller->addComponent("kor_Threshold", transition.get());
}

AudioEngine::~AudioEngine() = default;

std::vector<float> AudioEngine::getFFTBADFUNCTION() {
    return dspData->getFFTOut().squaredMagnitudes;
}

const KorDSPData& AudioEngine::getAnalysisRecord() const {
    // The driver leaves the phases out of every block (nothing in the analysis
    // reads them) and fills them on the first read after one.
    engine->completePhases(*dspData);
    return *dspData;
}

void AudioEngine::processAudio(std::vector<float>& samples) {
    // No samples, no block: analysing the unchanged window again would push
    // the previous block's features into every history a second time.
    if (samples.empty()) {
        return;
    }
    engine->run(samples, dspData.get());
    store->add(*dspData);
    if (observer_ != nullptr) {
        observer_->blockAnalysed(dspData->getAlgosOut(), samples.size());
    }
}

void AudioEngine::setRandomSeed(unsigned int seed) {
    controller->seedRandom(seed);
}

void AudioEngine::setReactivityUserInput(float value) {
    controller->setReactivityUI(value);
}

void AudioEngine::setAudioSpeedUserInput(float value) {
    controller->setAudioSpeedUI(value);
}

void AudioEngine::setOscillatorTempo(float bpm, float confidence) {
    controller->setOscillatorTempo(bpm, confidence);
}

void AudioEngine::clearOscillatorTempo() {
    controller->clearOscillatorTempo();
}

void AudioEngine::update(float dt) {
    if (observer_ != nullptr) {
        observer_->frameStarting(dt);
    }
    controller->updateComponents(dt);
}

void AudioEngine::setVectorsUpdated(bool on) {
    controller->setVectorsUpdated(on);
}

bool AudioEngine::vectorsUpdated() const {
    return controller->vectorsUpdated();
}

void AudioEngine::resetComponents() {
    controller->resetComponents();
}

float AudioEngine::getComponent(std::string name) {
    try {
        return controller->getComponent(name)->getValue();
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Korvala Audio Engine ErrorL could not find component: " + name);
    }
}

std::vector<float> AudioEngine::getComponent2D(std::string name) {
    try {
        return controller->getComponent2D(name)->getValue();
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Korvala Audio Engine Error could not find 2D component: " + name);
    }
}

std::size_t AudioEngine::getComponentIndex(const std::string& name) const {
    try {
        return controller->getComponentIndex(name);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Korvala Audio Engine ErrorL could not find component: " + name);
    }
}

float AudioEngine::getComponentAt(std::size_t index) const {
    const AudioComponent* component = controller->getComponentAt(index);
    if (component == nullptr) {
        throw std::out_of_range("Korvala Audio Engine: no scalar component at index " +
                                std::to_string(index));
    }
    return component->getValue();
}

std::size_t AudioEngine::getComponentIndex2D(const std::string& name) const {
    try {
        return controller->getComponentIndex2D(name);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Korvala Audio Engine Error could not find 2D component: " + name);
    }
}

std::size_t AudioEngine::getComponent2DAt(std::size_t index, float* out,
                                          std::size_t capacity) const {
    AudioComponent2D* component = controller->getComponent2DAt(index);
    if (component == nullptr) {
        throw std::out_of_range("Korvala Audio Engine: no vector component at index " +
                                std::to_string(index));
    }
    return component->copyValue(out, capacity);
}

std::unordered_map<std::string, float> AudioEngine::getAllComponents() {
    return controller->getComponentValues();
}

std::unordered_map<std::string, std::vector<float>> AudioEngine::getAllComponents2D() {
    return controller->getComponentValues2D();
}

void AudioEngine::setTransitionComponent(void (*callback)(void*), void* context) {
    transition->setCallback(callback, context);
}

void AudioEngine::triggerTransition() {
    transition->trigger();
}

} // namespace Korvala
