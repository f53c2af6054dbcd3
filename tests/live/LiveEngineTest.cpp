#include "korvala/live/LiveEngine.h"
#include "tests/support/Signals.h"
#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/sources/DemoTrack.h"
#include "tools/korvala/sources/MemorySource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace korvala::cli;
using Korvala::LiveEngine;
using Korvala::LiveSnapshot;

namespace {
bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::uint64_t digest(const float* values, std::size_t n) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < n * sizeof(float); ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

// One frame of the command's run: every scalar's bits, a digest of each vector.
struct Frame {
    std::uint64_t blocks;
    bool transition;
    std::vector<float> scalars;
    std::vector<std::uint64_t> vectors;
};

class Recorder : public FrameSink {
public:
    void begin(const std::vector<std::string>&, const std::vector<std::string>&) override {}
    void frame(const FrameValues& values) override {
        Frame f{values.blocks, values.transition, *values.scalars, {}};
        for (const auto& vector : *values.vectors) {
            f.vectors.push_back(digest(vector.data(), vector.size()));
        }
        frames.push_back(std::move(f));
    }
    std::vector<Frame> frames;
};
} // namespace

// A second live engine with its vectors off gets the same scalars and zero vectors.
TEST(LiveEngine, AudioAt44100HzInRandomCallbackSizesGivesTheCommandsValuesBitForBit) {
    // The demo track holds a breakdown and a drop, so transitions fire too.
    // At 29.97 fps both runs add the felt layer: its values reach the snapshot.
    const std::vector<float> audio = DemoTrack::render(44100, 22.0, 1);
    Korvala::FeltTempo::Options feltOptions;
    feltOptions.tempo.latencyMs = 100.0f;
    for (const char* fps : {"60", "29.97"}) {
        const bool felt = std::string(fps) != "60";
        Korvala::AudioEngine engine;
        std::unique_ptr<Korvala::FeltTempo> commandFelt;
        if (felt) {
            commandFelt = std::make_unique<Korvala::FeltTempo>(engine, feltOptions);
        }
        AnalysisOptions options;
        options.fps = parseFrameRate(fps);
        options.scalars = engineScalarNames(engine);
        options.vectors = engineVectorNames(engine);
        MemorySource source(audio, SourceInfo{});
        Recorder command;
        const AnalysisResult result = runAnalysis(engine, source, options, command);
        ASSERT_GT(result.transitions, 0u);

        // The same audio in callbacks of 1 to 4096 frames, frame() on the
        // command's schedule (a callback that spans a frame is split there).
        std::srand(1); // as the command does before its run
        LiveEngine live(44100.0, 1);
        if (felt) {
            live.enableFelt(feltOptions);
        }
        LiveEngine scalarsOnly(44100.0, 1);
        scalarsOnly.engine().setVectorsUpdated(false);
        if (felt) {
            scalarsOnly.enableFelt(feltOptions);
        }
        const HostSchedule schedule(options.fps, options.blockSize);
        std::mt19937 random(18);
        std::uniform_int_distribution<std::size_t> sizes(1, 4096);
        std::size_t callbackLeft = 0;
        std::uint64_t pushed = 0;
        std::uint64_t transitions = 0;
        std::size_t mismatches = 0;
        std::string first;
        LiveSnapshot snap;
        for (std::size_t k = 0; k < command.frames.size(); ++k) {
            const std::uint64_t due = schedule.samplesDueAt(k);
            while (pushed < due) {
                callbackLeft = callbackLeft > 0 ? callbackLeft : sizes(random);
                const std::size_t n = std::min<std::uint64_t>(callbackLeft, due - pushed);
                live.pushInterleaved(audio.data() + pushed, n);
                scalarsOnly.pushInterleaved(audio.data() + pushed, n);
                pushed += n;
                callbackLeft -= n;
            }
            live.frame(schedule.frameTime());
            ASSERT_TRUE(live.latest(snap));
            // The snapshot frame() returns is the one it published.
            const LiveSnapshot& lean = scalarsOnly.frame(schedule.frameTime());
            const Frame& want = command.frames[k];
            auto differ = [&](const std::string& what) {
                if (mismatches++ == 0) {
                    first = "frame " + std::to_string(k) + ": " + what;
                }
            };
            if (snap.blocks != want.blocks ||
                (snap.transitions != transitions) != want.transition) {
                differ("blocks or transition");
            }
            transitions = snap.transitions;
            if (snap.feltEnabled != (felt ? 1u : 0u)) {
                differ("feltEnabled");
            }
            for (std::size_t i = 0; i < options.scalars.size(); ++i) {
                const std::string& name = options.scalars[i];
                const bool feltName = name.rfind("kor_", 0) != 0 && name != "TIME";
                const float got = feltName ? snap.felt[LiveEngine::feltIndex(name)]
                                           : snap.scalars[LiveEngine::scalarIndex(name)];
                if (!sameBits(got, want.scalars[i])) {
                    differ(name);
                }
                const float leanValue = feltName ? lean.felt[LiveEngine::feltIndex(name)]
                                                 : lean.scalars[LiveEngine::scalarIndex(name)];
                if (!sameBits(leanValue, want.scalars[i])) {
                    differ(name + " with the vectors off");
                }
            }
            if (std::any_of(std::begin(lean.vectorData), std::end(lean.vectorData),
                            [](float v) { return v != 0.0f; })) {
                differ("a vector with the vectors off");
            }
            for (std::size_t i = 0; i < options.vectors.size(); ++i) {
                const std::size_t slot = LiveEngine::vectorIndex(options.vectors[i]);
                if (digest(snap.vector(slot), Korvala::kVectorLengths[slot]) != want.vectors[i]) {
                    differ(options.vectors[i]);
                }
            }
        }
        EXPECT_EQ(snap.frames, result.frames);
        EXPECT_EQ(options.scalars.size(), Korvala::kScalarCount + (felt ? 8u : 0u));
        EXPECT_EQ(mismatches, 0u) << fps << " fps, first: " << first;
        for (std::size_t i = 0; i < Korvala::kVectorCount; ++i) {
            std::vector<float> values(Korvala::kVectorLengths[i]);
            scalarsOnly.engine().getComponent2DAt(i, values.data(), values.size());
            EXPECT_EQ(std::count(values.begin(), values.end(), 0.0f), values.size())
                << Korvala::kVectorNames[i] << " advanced with the vectors off";
        }
    }
}

namespace {
// Feeds `audio` (mono at `rate`) to a live engine as `channels` channels in
// callbacks of `block` frames, one frame() per 1/60 s of audio; returns the
// final snapshot. Channel c carries the signal scaled by 2(c + 1)/(n + 1), so
// the channels average back to it; more than two channels are pushed planar.
LiveSnapshot playLive(const std::vector<float>& audio, double rate, std::size_t block,
                      int channels) {
    LiveEngine live(rate, channels);
    std::vector<float> interleaved(block * static_cast<std::size_t>(channels));
    std::vector<std::vector<float>> planar(static_cast<std::size_t>(channels),
                                           std::vector<float>(block));
    std::vector<const float*> pointers;
    for (const auto& channel : planar) {
        pointers.push_back(channel.data());
    }
    const double framePeriod = rate / 60.0;
    double nextFrame = framePeriod;
    for (std::size_t start = 0; start + block <= audio.size(); start += block) {
        for (std::size_t i = 0; i < block; ++i) {
            for (int c = 0; c < channels; ++c) {
                const float v = audio[start + i] * (2.0f * static_cast<float>(c + 1) /
                                                    static_cast<float>(channels + 1));
                interleaved[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                    v;
                planar[static_cast<std::size_t>(c)][i] = v;
            }
        }
        if (channels > 2) {
            live.pushPlanar(pointers.data(), block);
        } else {
            live.pushInterleaved(interleaved.data(), block);
        }
        if (static_cast<double>(start + block) >= nextFrame) {
            live.frame(1.0f / 60.0f);
            nextFrame += framePeriod;
        }
    }
    LiveSnapshot snap;
    live.frame(1.0f / 60.0f);
    live.latest(snap);
    return snap;
}
} // namespace

TEST(LiveEngine, TempoIsWithinTwoPercentAtEveryRateBlockSizeAndChannelCount) {
    struct Device {
        double rate;
        std::size_t block;
    };
    const std::size_t bpmSlot = LiveEngine::scalarIndex("kor_BPM");
    for (const Device device :
         {Device{48000, 480}, Device{44100, 256}, Device{96000, 1024}, Device{22050, 128}}) {
        for (double bpm : {120.0, 174.0}) {
            const std::vector<float> audio =
                korvala::test::kickHatPatternAtRate(device.rate, bpm, 20.0);
            for (int channels : {1, 2, 6}) {
                const LiveSnapshot snap = playLive(audio, device.rate, device.block, channels);
                EXPECT_NEAR(snap.scalars[bpmSlot], bpm, bpm * 0.02)
                    << device.rate << " Hz, " << device.block << "-frame callbacks, " << channels
                    << " channels";
                EXPECT_EQ(snap.droppedFrames, 0u);
            }
        }
    }
}
