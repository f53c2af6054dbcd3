#include "korvala/feel/FeltTempo.h"

#include "korvala/record/KorAlgosOut.h"

#include <cmath>

namespace Korvala {

// One registered name: a component whose value the layer sets each frame.
class FeltTempo::Value : public AudioComponent {
public:
    explicit Value(const float* source) : source_(source) {}
    float update(AudioComponentDataLayer*, float, const UserInputs&) override { return *source_; }

private:
    const float* source_;
};

namespace {
enum Slot : std::size_t {
    kBPM,
    kConfidence,
    kPulse,
    kPlaying,
    kStarts,
    kStops,
    kPhase,
    kPredicted,
    kSlots
};
} // namespace

const std::vector<std::string>& FeltTempo::names() {
    static const std::vector<std::string> list = {"felt_BPM",      "felt_Confidence", "felt_Pulse",
                                                  "music_Playing", "music_Starts",    "music_Stops",
                                                  "beat_Phase",    "beat_Predicted"};
    return list;
}

FeltTempo::FeltTempo(AudioEngine& engine, const Options& options)
    : engine_(engine), options_(options), core_(options.tempo), gate_(options.gateSettings) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        values_[i] = std::make_unique<Value>(&published_[i]);
        engine_.getController().addComponent(names()[i], values_[i].get());
    }
    engine_.setObserver(this);
}

FeltTempo::~FeltTempo() {
    engine_.setObserver(nullptr);
    if (options_.oscillatorsFollow) {
        engine_.clearOscillatorTempo();
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        engine_.getController().removeComponent(names()[i], values_[i].get());
    }
}

void FeltTempo::setMusicCallback(MusicCallback callback, void* context) {
    callback_ = callback;
    callbackContext_ = context;
}

void FeltTempo::blockAnalysed(const KorAlgosOut& results, std::size_t samples) {
    if (options_.gate) {
        const auto change =
            gate_.add(results.rms, static_cast<float>(samples) / TempoFeel::kSampleRate);
        if (change == MusicGate::Change::Started) {
            core_.restart(); // most often a new piece: its tempo owes nothing to the last one
        }
        if (change != MusicGate::Change::None && callback_ != nullptr) {
            callback_(change == MusicGate::Change::Started, callbackContext_);
        }
    }
    if (results.logBandedFFTVUs.size() == TempoFeel::kBands) {
        core_.addBlock(results.logBandedFFTVUs.data(), samples, playing(), results.bpm);
    }
}

void FeltTempo::frameStarting(float /*dt*/) {
    const TempoFeel::Prediction prediction = core_.predict();
    const float felt = core_.bpm();
    const float conf = confidence();
    const double now = core_.audioSeconds();
    // A beat is predicted on the frame whose span holds the crossing into a
    // new beat number; a phase correction that steps back and forth across
    // a crossing does not fire it twice.
    bool fired = false;
    if (lastBeatSet_ && std::floor(prediction.beat) > std::floor(lastBeat_) && conf > 0.0f &&
        now - lastFiredAt_ > 0.5 * 60.0 / static_cast<double>(felt)) {
        fired = true;
        lastFiredAt_ = now;
    }
    lastBeat_ = prediction.beat;
    lastBeatSet_ = true;

    published_[kBPM] = felt;
    published_[kConfidence] = conf;
    published_[kPulse] = core_.pulseBPM();
    published_[kPlaying] = playing() ? 1.0f : 0.0f;
    published_[kStarts] = static_cast<float>(gate_.starts());
    published_[kStops] = static_cast<float>(gate_.stops());
    published_[kPhase] = prediction.phase;
    published_[kPredicted] = fired ? 1.0f : 0.0f;

    if (options_.oscillatorsFollow) {
        if (!playing() && options_.oscillatorsHold) {
            engine_.setOscillatorTempo(0.0f, heldConfidence_);
        } else {
            engine_.setOscillatorTempo(felt, conf);
            heldConfidence_ = conf;
        }
    }
}

} // namespace Korvala
