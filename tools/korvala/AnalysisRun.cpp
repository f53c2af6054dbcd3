#include "tools/korvala/AnalysisRun.h"

#include "tools/korvala/LastHalfMedian.h"

#include "korvala/engine/AudioEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace korvala::cli {

namespace {
constexpr std::size_t kReadChunk = 4096;

void onTransition(void* context) {
    ++*static_cast<std::uint64_t*>(context);
}

bool hasName(const std::vector<std::string>& names, const std::string& name) {
    return std::binary_search(names.begin(), names.end(), name);
}

} // namespace

std::vector<std::string> engineScalarNames(Korvala::AudioEngine& engine) {
    std::vector<std::string> names = engine.getController().getComponentNames();
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> engineVectorNames(Korvala::AudioEngine& engine) {
    std::vector<std::string> names = engine.getController().getComponentNames2D();
    std::sort(names.begin(), names.end());
    return names;
}

AnalysisResult runAnalysis(Korvala::AudioEngine& engine, AudioSource& source,
                           const AnalysisOptions& options, FrameSink& sink) {
    const auto start = std::chrono::steady_clock::now();
    const HostSchedule schedule(options.fps, options.blockSize);
    const float dt = schedule.frameTime();
    const std::size_t blockSize = static_cast<std::size_t>(options.blockSize);
    auto& controller = engine.getController();

    // Restart "kor_RandomOnBeat"'s sequence so every run gives the same values,
    // however many runs an engine makes.
    engine.setRandomSeed(1);
    engine.setReactivityUserInput(options.reactivity);
    engine.setAudioSpeedUserInput(options.audioSpeed);
    std::uint64_t transitionsFired = 0;
    engine.setTransitionComponent(onTransition, &transitionsFired);
    struct CallbackGuard {
        Korvala::AudioEngine& engine;
        ~CallbackGuard() { engine.setTransitionComponent(nullptr, nullptr); }
    } guard{engine};

    // Component pointers are looked up once; the engine keeps them for its lifetime.
    std::vector<Korvala::AudioComponent*> selected;
    for (const std::string& name : options.scalars) {
        selected.push_back(controller.getComponent(name));
    }
    for (const std::string& name : options.vectors) {
        controller.getComponent2D(name);
    }
    const std::vector<std::string> allScalars = engineScalarNames(engine);
    auto optionalComponent = [&](const char* name) -> Korvala::AudioComponent* {
        return hasName(allScalars, name) ? controller.getComponent(name) : nullptr;
    };
    Korvala::AudioComponent* bpm = optionalComponent("kor_BPM");
    Korvala::AudioComponent* confidence = optionalComponent("kor_BPMConfidence");
    Korvala::AudioComponent* beats = optionalComponent("kor_BeatTime");
    Korvala::AudioComponent* feltBpm = optionalComponent("felt_BPM");
    Korvala::AudioComponent* feltConfidence = optionalComponent("felt_Confidence");

    std::vector<float> scalarValues(selected.size());
    std::vector<std::vector<float>> vectorValues(options.vectors.size());
    FrameValues values;
    values.scalars = &scalarValues;
    values.vectors = &vectorValues;

    // Samples not yet pushed sit in `pending` from `pendingStart`; a block is
    // pushed as soon as it is due for the next frame, so `pending` never holds
    // more than one block plus one read chunk, however long the stream.
    std::vector<float> pending(blockSize + kReadChunk);
    std::size_t pendingStart = 0;
    std::size_t pendingEnd = 0;
    std::vector<float> block(blockSize);

    AnalysisResult result;
    LastHalfMedian bpmMedian;
    SteadyBeatRule steadyRule;
    std::uint64_t pushed = 0;
    std::uint64_t frame = 0;
    sink.begin(options.scalars, options.vectors);

    for (;;) {
        if (pendingStart > 0) {
            std::memmove(pending.data(), pending.data() + pendingStart,
                         (pendingEnd - pendingStart) * sizeof(float));
            pendingEnd -= pendingStart;
            pendingStart = 0;
        }
        const std::size_t got = source.read(pending.data() + pendingEnd, kReadChunk);
        if (got == 0) {
            break;
        }
        pendingEnd += got;
        result.samples += got;

        for (;;) {
            const std::uint64_t due =
                std::min(schedule.blocksDueAt(frame), result.samples / options.blockSize);
            while (pushed < due) {
                std::copy_n(pending.begin() + static_cast<std::ptrdiff_t>(pendingStart), blockSize,
                            block.begin());
                engine.processAudio(block);
                pendingStart += blockSize;
                ++pushed;
            }
            if (schedule.samplesNeededFor(frame) > result.samples) {
                break;
            }
            const std::uint64_t firedBefore = transitionsFired;
            engine.update(dt);
            for (std::size_t i = 0; i < selected.size(); ++i) {
                scalarValues[i] = selected[i]->getValue();
            }
            for (std::size_t i = 0; i < options.vectors.size(); ++i) {
                vectorValues[i] = engine.getComponent2D(options.vectors[i]);
            }
            values.index = frame;
            values.time = schedule.timeOf(frame);
            values.blocks = pushed;
            values.transition = transitionsFired != firedBefore;
            sink.frame(values);
            if (bpm != nullptr) {
                bpmMedian.add(bpm->getValue());
            }
            if (confidence != nullptr && beats != nullptr) {
                steadyRule.add(confidence->getValue(), beats->getValue());
            }
            result.blocks = pushed;
            ++frame;
        }
        if (options.live) {
            sink.flush();
        }
        if (options.progress) {
            options.progress(result.samples);
        }
    }
    sink.end();

    result.frames = frame;
    result.transitions = transitionsFired;
    if (frame > 0) {
        if (bpm != nullptr) {
            result.finalBpm = bpm->getValue();
            result.medianBpmLastHalf = bpmMedian.median();
        }
        if (confidence != nullptr) {
            result.finalBpmConfidence = confidence->getValue();
            result.medianConfidenceLastHalf = steadyRule.medianConfidence();
            result.steadyBeat = steadyRule.steady();
        }
        if (beats != nullptr) {
            result.beatsCounted = beats->getValue();
        }
        if (feltBpm != nullptr && feltConfidence != nullptr) {
            result.finalFeltBpm = feltBpm->getValue();
            result.finalFeltConfidence = feltConfidence->getValue();
        }
    }
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

} // namespace korvala::cli
