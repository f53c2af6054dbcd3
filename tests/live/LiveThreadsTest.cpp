#include "korvala/live/LiveEngine.h"
#include "korvala/live/detail/SampleRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

using Korvala::LiveEngine;
using Korvala::LiveSnapshot;

namespace {
// Frame p's sample: distinct for every p within a run, exact in float, so the
// two equal channels average back to it bit for bit.
float sampleAt(std::uint64_t p) {
    return static_cast<float>(static_cast<std::int64_t>((p * 2654435761u) % 65536) - 32768) /
           65536.0f;
}

// The transport checksum as LiveSnapshot documents it.
std::uint64_t checksumTerm(std::uint64_t p, float sample) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &sample, sizeof bits);
    return (std::uint64_t(bits) + 1) * (2 * p + 1);
}
} // namespace

TEST(LiveThreads, EveryFrameArrivesOnceInOrderOrIsCountedDroppedAndNoSnapshotIsTorn) {
    // A small ring, pushes of up to 1.5 times its size and frame-thread stalls
    // of up to 4 ms: the ring overflows often, also inside one push.
    constexpr std::size_t kRing = 2048;
    constexpr std::uint64_t kTotal = 200000;
    LiveEngine live(48000.0, 2, kRing);
    std::atomic<bool> producing{true};
    std::atomic<bool> reading{true};
    std::uint64_t expectedChecksum = 0;

    std::thread producer([&] {
        std::mt19937 random(1);
        std::uniform_int_distribution<std::size_t> sizes(1, kRing * 3 / 2);
        std::uniform_int_distribution<int> pauseUs(0, 2000);
        std::vector<float> frames(kRing * 3);
        std::uint64_t p = 0;
        while (p < kTotal) {
            const std::size_t n = std::min<std::uint64_t>(sizes(random), kTotal - p);
            for (std::size_t i = 0; i < n; ++i, ++p) {
                frames[2 * i] = frames[2 * i + 1] = sampleAt(p);
                expectedChecksum += checksumTerm(p, sampleAt(p));
            }
            live.pushInterleaved(frames.data(), n);
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
        }
        producing = false;
    });

    std::uint64_t readerSnapshots = 0;
    std::uint64_t tornSnapshots = 0;
    std::uint64_t backwards = 0;
    std::thread reader([&] {
        LiveSnapshot snap;
        std::uint64_t lastFrames = 0;
        while (reading) {
            if (!live.latest(snap)) {
                continue;
            }
            ++readerSnapshots;
            tornSnapshots +=
                snap.seal != snap.frames || snap.secondsAnalysed != snap.blocks * 512 / 44100.0;
            backwards += snap.frames < lastFrames;
            lastFrames = snap.frames;
        }
    });

    // The frame thread: irregular frame times, sometimes a long stall.
    std::mt19937 random(2);
    std::uniform_real_distribution<float> dts(0.0f, 0.05f);
    std::uniform_int_distribution<int> stallUs(0, 4000);
    LiveSnapshot snap;
    while (producing) {
        live.frame(dts(random));
        std::this_thread::sleep_for(std::chrono::microseconds(stallUs(random)));
    }
    producer.join();
    live.frame(1.0f / 60.0f); // takes what is left
    reading = false;
    reader.join();

    ASSERT_TRUE(live.latest(snap));
    EXPECT_EQ(snap.inputFrames + snap.droppedFrames, kTotal);
    EXPECT_GT(snap.droppedFrames, 0u) << "the ring never overflowed: the test lost its point";
    EXPECT_GT(snap.inputFrames, kRing);
    EXPECT_EQ(snap.transportChecksum, expectedChecksum);
    EXPECT_GT(readerSnapshots, 0u);
    EXPECT_EQ(tornSnapshots, 0u);
    EXPECT_EQ(backwards, 0u);
}

TEST(LiveThreads, TheRingHandsOutEachFrameAtItsPositionOnceWhileOverflowingWithoutPause) {
    // Producer and consumer in tight loops, so takes and overflowing pushes
    // overlap all the time (the live engine's analysis leaves few such overlaps).
    constexpr std::uint64_t kTotal = 400000;
    Korvala::live_detail::SampleRing ring(1024);
    std::thread producer([&] {
        std::mt19937 random(3);
        std::uniform_int_distribution<std::size_t> sizes(1, 1500);
        std::uint64_t p = 0;
        while (p < kTotal) {
            const std::size_t n = std::min<std::uint64_t>(sizes(random), kTotal - p);
            ring.push(n, [p](std::size_t i, float& out) { out = sampleAt(p + i); });
            p += n;
        }
    });
    std::vector<float> out(700);
    std::uint64_t taken = 0;
    std::uint64_t next = 0; // no frame may come from before this position
    std::uint64_t wrong = 0;
    std::uint64_t checksum = 0;
    while (ring.pushed() < kTotal || ring.waiting() > 0) {
        std::uint64_t position = 0;
        const std::size_t got = ring.take(out.data(), out.size(), position);
        wrong += got > 0 && position < next;
        for (std::size_t i = 0; i < got; ++i) {
            wrong += out[i] != sampleAt(position + i);
            checksum += checksumTerm(position + i, out[i]);
        }
        taken += got;
        next = got > 0 ? position + got : next;
    }
    producer.join();
    std::uint64_t expected = 0;
    for (std::uint64_t p = 0; p < kTotal; ++p) {
        expected += checksumTerm(p, sampleAt(p));
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(taken + ring.dropped(), kTotal);
    EXPECT_EQ(checksum + ring.droppedChecksum(), expected);
    EXPECT_GT(ring.dropped(), 0u);
    EXPECT_GT(taken, 0u);
}
