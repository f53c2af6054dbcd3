#include "tools/korvala/AnalysisRun.h"
#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"
#include "tools/korvala/sources/DemoTrack.h"
#include "tools/korvala/sources/MemorySource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace korvala::cli;

namespace {
struct Seen {
    std::uint64_t index;
    double time;
    std::uint64_t blocks;
    std::vector<float> scalars;
};

class RecordingSink : public FrameSink {
public:
    void begin(const std::vector<std::string>& s, const std::vector<std::string>&) override {
        names = s;
    }
    void frame(const FrameValues& v) override {
        frames.push_back({v.index, v.time, v.blocks, *v.scalars});
    }
    void end() override { ended = true; }
    std::vector<std::string> names;
    std::vector<Seen> frames;
    bool ended = false;
};

// Hands out at most `limit` samples per read, to exercise the loop's buffering.
class TrickleSource : public AudioSource {
public:
    TrickleSource(AudioSource& inner, std::size_t limit) : inner_(inner), limit_(limit) {}
    std::size_t read(float* out, std::size_t capacity) override {
        return inner_.read(out, std::min(capacity, limit_));
    }
    const SourceInfo& info() const override { return inner_.info(); }

private:
    AudioSource& inner_;
    std::size_t limit_;
};

RecordingSink run(const std::vector<float>& signal, const char* fps, std::uint64_t block,
                  std::size_t trickle, AnalysisResult* result = nullptr) {
    Korvala::AudioEngine engine;
    AnalysisOptions options;
    options.fps = parseFrameRate(fps);
    options.blockSize = block;
    options.scalars = engineScalarNames(engine);
    MemorySource memory(signal, SourceInfo{});
    TrickleSource source(memory, trickle);
    RecordingSink sink;
    const AnalysisResult r = runAnalysis(engine, source, options, sink);
    if (result != nullptr) {
        *result = r;
    }
    return sink;
}
} // namespace

TEST(AnalysisRun, FollowsTheHostScheduleFrameByFrame) {
    const struct {
        const char* fps;
        std::uint64_t block;
        double seconds;
    } cases[] = {{"60", 512, 2.0}, {"29.97", 700, 3.0}, {"30000/1001", 2048, 1.5}, {"7", 1, 0.5}};
    for (const auto& c : cases) {
        const std::vector<float> signal = korvala::test::kickPattern(120.0, c.seconds);
        AnalysisResult result;
        const RecordingSink sink = run(signal, c.fps, c.block, 4096, &result);
        const HostSchedule schedule(parseFrameRate(c.fps), c.block);
        ASSERT_EQ(sink.frames.size(), schedule.frameCount(signal.size())) << c.fps;
        for (std::size_t k = 0; k < sink.frames.size(); ++k) {
            EXPECT_EQ(sink.frames[k].index, k);
            EXPECT_EQ(sink.frames[k].blocks, schedule.blocksDueAt(k)) << c.fps << " frame " << k;
            EXPECT_EQ(sink.frames[k].time, schedule.timeOf(k));
        }
        EXPECT_TRUE(sink.ended);
        EXPECT_EQ(result.frames, sink.frames.size());
        EXPECT_EQ(result.samples, signal.size());
        EXPECT_EQ(result.blocks, sink.frames.back().blocks);
    }
}

TEST(AnalysisRun, GivesTheSameFramesHoweverTheSourceChunksItsSamples) {
    const std::vector<float> signal = korvala::test::kickHatPattern(128.0, 2.0);
    const RecordingSink whole = run(signal, "29.97", 512, 4096);
    for (std::size_t trickle : {1u, 37u, 511u, 513u}) {
        const RecordingSink pieces = run(signal, "29.97", 512, trickle);
        ASSERT_EQ(pieces.frames.size(), whole.frames.size()) << trickle;
        for (std::size_t k = 0; k < whole.frames.size(); ++k) {
            EXPECT_EQ(pieces.frames[k].blocks, whole.frames[k].blocks);
            EXPECT_EQ(pieces.frames[k].scalars, whole.frames[k].scalars) << trickle << " " << k;
        }
    }
}

TEST(AnalysisRun, HandsTheSelectedScalarsInTheGivenOrderAndRejectsUnknownNames) {
    Korvala::AudioEngine engine;
    const std::vector<std::string> names = engineScalarNames(engine);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "kor_Threshold"));

    AnalysisOptions options;
    options.scalars = {"kor_Threshold"};
    MemorySource source(korvala::test::sine(100.0, 0.1), SourceInfo{});
    RecordingSink sink;
    runAnalysis(engine, source, options, sink);
    EXPECT_EQ(sink.names, options.scalars);
    ASSERT_FALSE(sink.frames.empty());
    EXPECT_EQ(sink.frames.back().scalars.at(0), engine.getComponent("kor_Threshold"));

    Korvala::AudioEngine other;
    options.scalars = {"kor_NoSuchThing"};
    MemorySource again(korvala::test::sine(100.0, 0.1), SourceInfo{});
    EXPECT_THROW(runAnalysis(other, again, options, sink), std::runtime_error);
}

TEST(AnalysisRun, AShortStreamHasNoFramesButCountsItsSamples) {
    AnalysisResult result;
    const RecordingSink sink =
        run(korvala::test::silence(734.0 / 44100.0), "60", 512, 4096, &result);
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_EQ(result.samples, 734u);
    EXPECT_EQ(result.blocks, 0u);
    EXPECT_FALSE(result.finalBpm.has_value() && result.frames > 0);
}

TEST(DemoTrack, KeepsItsSamplesAtOtherRatesAndChannelCounts) {
    // FNV-1a over the sample bits, taken when the renderer was first written;
    // the golden outputs cover the mono 44100 Hz render.
    auto checksum = [](const std::vector<float>& samples) {
        std::uint64_t hash = 1469598103934665603ull;
        for (float sample : samples) {
            std::uint32_t bits;
            std::memcpy(&bits, &sample, sizeof bits);
            for (int byte = 0; byte < 4; ++byte) {
                hash = (hash ^ ((bits >> (8 * byte)) & 0xffu)) * 1099511628211ull;
            }
        }
        return hash;
    };
    EXPECT_EQ(checksum(DemoTrack::render(48000, 30.0, 2)), 0x30c2f8bfb322cdfcull);
    EXPECT_EQ(checksum(DemoTrack::render(22050, 21.0, 3)), 0xb21384cc23cb78f0ull);
}
