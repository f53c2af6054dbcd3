#include "tools/korvala/HostSchedule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using korvala::cli::FrameRate;
using korvala::cli::HostSchedule;
using korvala::cli::nearestFrameTime;
using korvala::cli::parseFrameRate;

TEST(FrameRateText, ParsesDecimalsAndRatiosExactlyInLowestTerms) {
    const struct {
        const char* text;
        std::uint64_t num;
        std::uint64_t den;
    } cases[] = {{"60", 60, 1},           {"29.97", 2997, 100},
                 {"59.940", 2997, 50},    {"30000/1001", 30000, 1001},
                 {"120/2", 60, 1},        {".5", 1, 2},
                 {"1000", 1000, 1},       {"23.976", 2997, 125},
                 {"0.000001", 1, 1000000}};
    for (const auto& c : cases) {
        const FrameRate rate = parseFrameRate(c.text);
        EXPECT_EQ(rate.num, c.num) << c.text;
        EXPECT_EQ(rate.den, c.den) << c.text;
    }
}

TEST(FrameRateText, RejectsZeroNegativeMalformedAndOutOfRangeRates) {
    for (const char* text : {"0", "0.0", "-1", "", "abc", "1e3", "60fps", "1000.000001", "1001",
                             "60/0", "0/5", "1.1234567", "1..2", "/", "12345678901"}) {
        EXPECT_THROW(parseFrameRate(text), std::invalid_argument) << text;
    }
}

TEST(FrameRateText, FrameTimeIsTheFloatNearestTheExactPeriod) {
    for (const char* text : {"60", "29.97", "30000/1001", "23.976", "7", "1000", "0.3"}) {
        const FrameRate rate = parseFrameRate(text);
        const float dt = nearestFrameTime(rate);
        const long double exact = static_cast<long double>(rate.den) / rate.num;
        const long double error = std::fabs(static_cast<long double>(dt) - exact);
        EXPECT_LE(error, std::fabs(static_cast<long double>(std::nextafter(dt, 0.0f)) - exact))
            << text;
        EXPECT_LE(error, std::fabs(static_cast<long double>(std::nextafter(dt, 1e9f)) - exact))
            << text;
    }
    EXPECT_EQ(nearestFrameTime(parseFrameRate("60")), 1.0f / 60.0f);
}

TEST(HostSchedule, PushesTheBlockDueAtFrame5631OnTimeWhereDoubleTimeWouldBeLate) {
    const HostSchedule schedule(parseFrameRate("60"), 512);
    // t = 5632/60 s is exactly 4139520 samples = 8085 blocks of 512, but
    // (5632 / 60.0) * 44100 rounds to just below 4139520 in double.
    const std::uint64_t frame = 5631;
    EXPECT_EQ(schedule.samplesDueAt(frame), 4139520u);
    EXPECT_EQ(schedule.blocksDueAt(frame), 8085u);
    const double naive = std::floor((static_cast<double>(frame + 1) / 60.0) * 44100.0);
    EXPECT_EQ(static_cast<std::uint64_t>(naive) / 512, 8084u);
}

TEST(HostSchedule, BlocksDueFollowTheFloorOfFrameTimeInSamples) {
    const struct {
        const char* fps;
        std::uint64_t block;
        std::uint64_t frame;
        std::uint64_t samples;
        std::uint64_t blocks;
    } cases[] = {
        {"60", 512, 0, 735, 1},              // 735 samples: one whole block
        {"60", 512, 1, 1470, 2},             // 1470: two blocks (1024), the third needs 1536
        {"60", 2048, 1, 1470, 0},            // no whole 2048 block yet
        {"60", 1, 9, 7350, 7350},            // one-sample blocks: every sample
        {"29.97", 512, 0, 1471, 2},          // 4410000 / 2997 = 1471.47…
        {"29.97", 512, 2996, 4410000, 8613}, // 100 s exactly: 4410000 / 512 = 8613.28…
        {"30000/1001", 512, 29999, 44144100, 86218}, // 1001 s
        {"0.5", 512, 0, 88200, 172},                 // one frame every two seconds
    };
    for (const auto& c : cases) {
        const HostSchedule schedule(parseFrameRate(c.fps), c.block);
        EXPECT_EQ(schedule.samplesDueAt(c.frame), c.samples) << c.fps << " frame " << c.frame;
        EXPECT_EQ(schedule.blocksDueAt(c.frame), c.blocks) << c.fps << " frame " << c.frame;
    }
}

TEST(HostSchedule, LastFrameIsTheLastWhoseTimeFitsTheDuration) {
    for (const char* fps : {"60", "29.97", "30000/1001", "24", "0.7"}) {
        const HostSchedule schedule(parseFrameRate(fps), 512);
        for (std::uint64_t frame : {0ull, 1ull, 59ull, 1799ull, 899ull, 123456ull}) {
            const std::uint64_t needed = schedule.samplesNeededFor(frame);
            // Frame k exists once the stream reaches t_k, not one sample earlier.
            EXPECT_EQ(schedule.frameCount(needed), frame + 1) << fps << " " << frame;
            EXPECT_EQ(schedule.frameCount(needed - 1), frame) << fps << " " << frame;
            EXPECT_GE(needed, schedule.samplesDueAt(frame));
            EXPECT_LE(needed, schedule.samplesDueAt(frame) + 1);
        }
    }
    EXPECT_EQ(HostSchedule(parseFrameRate("60"), 512).frameCount(1323000), 1800u);
    EXPECT_EQ(HostSchedule(parseFrameRate("29.97"), 512).frameCount(1323000), 899u);
    EXPECT_EQ(HostSchedule(parseFrameRate("60"), 512).frameCount(734), 0u);
}

TEST(HostSchedule, FrameTimeIsOneRoundingOfTheExactRatio) {
    const HostSchedule schedule(parseFrameRate("29.97"), 512);
    EXPECT_EQ(schedule.timeOf(0), 100.0 / 2997.0);
    EXPECT_EQ(schedule.timeOf(2996), 100.0);
    EXPECT_EQ(HostSchedule(parseFrameRate("60"), 512).timeOf(59), 1.0);
}

TEST(HostSchedule, StaysExactForFramesFarBeyondAnyRealRun) {
    // A week at 1000 fps with a six-decimal rate: products exceed 64 bits.
    const HostSchedule schedule(parseFrameRate("999.999999"), 512);
    const std::uint64_t frame = 604800ull * 1000ull;
    const unsigned __int128 scaled = (unsigned __int128)(frame + 1) * 44100u * 1000000u;
    EXPECT_EQ(schedule.samplesDueAt(frame), static_cast<std::uint64_t>(scaled / 999999999u));
}
