#include "korvala/live/LiveEngine.h"
#include "tests/support/Signals.h"
#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/DemoTrack.h"
#include "tools/korvala/MemorySource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

TEST(LiveEngine, AudioAt44100HzInRandomCallbackSizesGivesTheCommandsValuesBitForBit) {
    // The demo track holds a breakdown and a drop, so transitions fire too.
    const std::vector<float> audio = DemoTrack::render(44100, 22.0, 1);
    for (const char* fps : {"60", "29.97"}) {
        Korvala::AudioEngine engine;
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
                pushed += n;
                callbackLeft -= n;
            }
            live.frame(schedule.frameTime());
            ASSERT_TRUE(live.latest(snap));
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
            for (std::size_t i = 0; i < options.scalars.size(); ++i) {
                if (!sameBits(snap.scalars[LiveEngine::scalarIndex(options.scalars[i])],
                              want.scalars[i])) {
                    differ(options.scalars[i]);
                }
            }
            for (std::size_t i = 0; i < options.vectors.size(); ++i) {
                const std::size_t slot = LiveEngine::vectorIndex(options.vectors[i]);
                if (digest(snap.vector(slot), Korvala::kVectorLengths[slot]) != want.vectors[i]) {
                    differ(options.vectors[i]);
                }
            }
        }
        EXPECT_EQ(snap.frames, result.frames);
        EXPECT_EQ(mismatches, 0u) << fps << " fps, first: " << first;
    }
}
