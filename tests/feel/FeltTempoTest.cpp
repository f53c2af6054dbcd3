#include "korvala/feel/FeltTempo.h"
#include "korvala/engine/AudioEngine.h"
#include "korvala/record/KorDSPData.h"
#include "tests/support/CountingAllocator.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace korvala::test;
using Korvala::FeltTempo;

namespace {
constexpr std::size_t kBlock = 512;
constexpr double kBlockSeconds = kBlock / kSampleRate;

struct Frame {
    double time; // seconds of audio pushed
    float bpm, confidence, phase, predicted, playing, oscillator;
};
struct Trace {
    std::vector<Frame> frames;
    std::vector<double> starts; // audio time of each "music started"
    std::vector<double> stops;
};

// One frame per block: processAudio, then update, through an engine with the layer attached.
Trace run(const std::vector<float>& signal, const FeltTempo::Options& options) {
    Korvala::AudioEngine engine;
    FeltTempo feel(engine, options);
    Trace out;
    double now = 0.0;
    struct Context {
        Trace* run;
        double* now;
    } context{&out, &now};
    feel.setMusicCallback(
        [](bool started, void* c) {
            auto* ctx = static_cast<Context*>(c);
            (started ? ctx->run->starts : ctx->run->stops).push_back(*ctx->now);
        },
        &context);
    for (auto& block : blocks(signal, kBlock)) {
        now += kBlockSeconds;
        engine.processAudio(block);
        engine.update(static_cast<float>(kBlockSeconds));
        out.frames.push_back(
            {now, engine.getComponent("felt_BPM"), engine.getComponent("felt_Confidence"),
             engine.getComponent("beat_Phase"), engine.getComponent("beat_Predicted"),
             engine.getComponent("music_Playing"), engine.getComponent("kor_BPMSin")});
    }
    return out;
}

FeltTempo::Options range(float low, float high) {
    FeltTempo::Options options;
    options.tempo.minBPM = low;
    options.tempo.maxBPM = high;
    return options;
}

std::vector<float> joined(std::initializer_list<std::vector<float>> parts) {
    std::vector<float> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}
} // namespace

TEST(FeltTempo, HalfAndDoubleTimeFeelsLandInTheRequestedRange) {
    struct Case {
        const char* feel;
        double backbeat, hats;
        float low, high, expected;
    };
    // Half time: the backbeat at half the hats' rate; double time: a backbeat
    // twice as fast as the tempo the range asks for. The range picks the octave.
    const Case cases[] = {
        {"half time, dance range", 70, 140, 80, 160, 140},
        {"half time, slow range", 70, 140, 50, 100, 70},
        {"double time, dance range", 180, 360, 80, 160, 90},
        {"double time, fast range", 180, 360, 120, 240, 180},
        {"four on the floor, wide range", 128, 256, 60, 200, 128},
    };
    for (const Case& c : cases) {
        const Trace r = run(groove(c.backbeat, c.hats, 20.0), range(c.low, c.high));
        const Frame& last = r.frames.back();
        EXPECT_NEAR(last.bpm, c.expected, c.expected * 0.02f) << c.feel;
        EXPECT_GT(last.confidence, 0.5f) << c.feel;
    }
}

TEST(FeltTempo, FollowsATempoChangeWithinFiveSeconds) {
    const Trace r = run(joined({kickHatPattern(100, 15), kickHatPattern(130, 15)}), range(80, 160));
    for (const Frame& f : r.frames) {
        if (f.time > 6.0 && f.time < 15.0) {
            ASSERT_NEAR(f.bpm, 100.0f, 2.0f) << "at " << f.time << " s";
        }
        if (f.time > 20.0) {
            ASSERT_NEAR(f.bpm, 130.0f, 2.6f) << "at " << f.time << " s";
        }
    }
}

TEST(FeltTempo, SilenceAndResumptionFireOneStopAndOneStartWithStatedLatency) {
    // Gate latencies: a start within 0.2 s of the first hit (opening time 0.15 s);
    // a stop within 1.7 s of the last sound (the level follower's fall from the
    // kicks to the closing level at 40 dB/s, then the 0.5 s closing time).
    const auto groove8 = kickHatPattern(120, 8.0);
    const Trace r = run(joined({groove8, silence(6.0), groove8}), range(80, 160));
    ASSERT_EQ(r.starts.size(), 2u);
    ASSERT_EQ(r.stops.size(), 1u);
    EXPECT_LE(r.starts[0], 0.2);
    EXPECT_GE(r.stops[0], 8.0);
    EXPECT_LE(r.stops[0], 8.0 + 1.7);
    EXPECT_GE(r.starts[1], 14.0);
    EXPECT_LE(r.starts[1], 14.0 + 0.2);
    for (const Frame& f : r.frames) {
        if (f.time > r.stops[0] && f.time < r.starts[1]) {
            ASSERT_EQ(f.playing, 0.0f);
            ASSERT_EQ(f.confidence, 0.0f);
        }
    }
    EXPECT_NEAR(r.frames.back().bpm, 120.0f, 2.4f);
    EXPECT_GT(r.frames.back().confidence, 0.5f);
}

TEST(FeltTempo, ConfidenceStaysNearZeroWithoutABeat) {
    for (const auto& signal : {silence(12.0), noise(12.0, 0.3f), sine(440.0, 12.0, 0.5f)}) {
        const Trace r = run(signal, range(80, 160));
        for (const Frame& f : r.frames) {
            if (f.time > 4.0) {
                ASSERT_LT(f.confidence, 0.15f) << "at " << f.time << " s";
            }
        }
    }
}

TEST(FeltTempo, PredictedClickBeatsLeadTheClicksByTheOffsetWithinTenMilliseconds) {
    for (const double bpm : {120.0, 97.0}) {
        const double first = 0.25;
        const double period = 60.0 / bpm;
        FeltTempo::Options options = range(80, 160);
        options.tempo.latencyMs = 100.0f;
        const Trace r = run(clickTrack(bpm, 20.0, first), options);
        int checked = 0;
        for (const Frame& f : r.frames) {
            if (f.time < 8.0) {
                continue;
            }
            // The frame's phase says when the next beat will be shown; shown
            // 100 ms early, it must meet a click 100 ms later.
            const double shownAt = f.time + (1.0 - f.phase) * period;
            const double click = shownAt + 0.1;
            const double nearest = first + std::round((click - first) / period) * period;
            ASSERT_NEAR(click, nearest, 0.010) << bpm << " BPM at " << f.time << " s";
            ++checked;
        }
        EXPECT_GT(checked, 1000);
        // One pulse per click, on the frame whose span holds the predicted beat.
        int pulses = 0;
        for (const Frame& f : r.frames) {
            pulses += f.time > 8.0 && f.predicted == 1.0f;
        }
        EXPECT_NEAR(pulses, (20.0 - 8.0) / period, 1.0) << bpm << " BPM";
    }
}

TEST(FeltTempo, OscillatorsChangeOnlyWhenAskedToFollowAndHoldWhileStopped) {
    const auto signal = joined({groove(70, 140, 12.0), silence(4.0)});
    // Attached without following: every engine value stays bit-identical.
    auto trace = [&](bool attach) {
        Korvala::AudioEngine engine;
        std::unique_ptr<FeltTempo> feel;
        if (attach) {
            feel = std::make_unique<FeltTempo>(engine, range(80, 160));
        }
        std::vector<float> values;
        for (auto& block : blocks(signal, kBlock)) {
            engine.processAudio(block);
            engine.update(0.016f);
            for (const auto& name : engine.getController().getComponentNames()) {
                if (name.rfind("kor_", 0) == 0) {
                    values.push_back(engine.getComponent(name));
                }
            }
        }
        return values;
    };
    const std::vector<float> plain = trace(false);
    const std::vector<float> observed = trace(true);
    ASSERT_EQ(plain.size(), observed.size());
    EXPECT_EQ(std::memcmp(plain.data(), observed.data(), plain.size() * sizeof(float)), 0);

    FeltTempo::Options options = range(80, 160);
    options.oscillatorsFollow = true;
    options.oscillatorsHold = true;
    const Trace r = run(signal, options);
    // Following the felt 140 BPM, kor_BPMSin peaks 140 / 60 times a second.
    int peaks = 0;
    for (std::size_t i = 1; i + 1 < r.frames.size(); ++i) {
        const auto& f = r.frames[i];
        if (f.time > 6.0 && f.time < 12.0 && f.oscillator > r.frames[i - 1].oscillator &&
            f.oscillator >= r.frames[i + 1].oscillator && f.oscillator > 0.3f) {
            ++peaks;
        }
    }
    EXPECT_NEAR(peaks, 6.0 * 140.0 / 60.0, 1.0);
    // Stopped, it holds its last value.
    const Frame& held = r.frames.back();
    EXPECT_EQ(held.playing, 0.0f);
    EXPECT_EQ(r.frames[r.frames.size() - 20].oscillator, held.oscillator);
}

TEST(FeltTempo, BlockAndFrameCallsNeverAllocate) {
    // The layer observes one engine; a second one makes the records it is fed,
    // so only the layer's own calls are counted.
    Korvala::AudioEngine observed;
    Korvala::AudioEngine source;
    FeltTempo feel(observed, range(80, 160));
    std::size_t allocations = 0;
    for (auto& block : blocks(joined({kickHatPattern(120, 6.0), silence(2.0)}), kBlock)) {
        source.processAudio(block);
        const KorAlgosOut& results = source.getAnalysisRecord().getAlgosOut();
        const std::size_t before = allocationsOnThisThread();
        feel.blockAnalysed(results, kBlock);
        feel.frameStarting(0.016f);
        allocations += allocationsOnThisThread() - before;
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(feel.starts(), 1u);
    EXPECT_EQ(feel.stops(), 1u);
}
