// The audio thread's rules, checked by hooks: pushing allocates nothing (a
// counting operator new), takes no lock (pthread_mutex_lock interposed) and,
// outside the sanitizers, makes no system call at all (the pushes run on a
// thread in seccomp's strict mode, where any other call than read, write,
// exit and sigreturn kills the process).
#include "korvala/live/LiveEngine.h"
#include "tests/support/CountingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KORVALA_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KORVALA_TEST_SANITIZED 1
#endif
#endif

#ifndef KORVALA_TEST_SANITIZED
#include <dlfcn.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
thread_local std::size_t locks = 0;
} // namespace

#ifndef KORVALA_TEST_SANITIZED
// Every std::mutex, and most other locks, end up here.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    using Lock = int (*)(pthread_mutex_t*);
    static const Lock next = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    ++locks;
    return next(mutex);
}
#endif

namespace {
// Pushes every shape the audio thread can send: both layouts, callbacks
// smaller than, equal to and larger than the ring, so both drop paths run.
void pushEveryShape(Korvala::LiveEngine& stereo, Korvala::LiveEngine& six,
                    const std::vector<float>& interleaved,
                    const std::vector<const float*>& planar) {
    for (std::size_t frames : {1u, 256u, 480u, 4096u, 6000u}) {
        for (int repeat = 0; repeat < 3; ++repeat) {
            stereo.pushInterleaved(interleaved.data(), frames);
            six.pushPlanar(planar.data(), frames);
        }
    }
}
} // namespace

TEST(LiveRealtime, PushingAllocatesNothingTakesNoLockAndMakesNoSystemCall) {
    Korvala::LiveEngine stereo(48000.0, 2, 4096);
    Korvala::LiveEngine six(96000.0, 6, 4096);
    six.enableFelt({}); // the felt layer runs on the frame thread only
    std::vector<float> interleaved(2 * 6000, 0.25f);
    std::vector<std::vector<float>> channels(6, std::vector<float>(6000, -0.5f));
    std::vector<const float*> planar;
    for (const auto& channel : channels) {
        planar.push_back(channel.data());
    }
    std::size_t rounds = 1;
    const std::size_t allocations = korvala::test::allocationsOnThisThread();
    locks = 0;
    pushEveryShape(stereo, six, interleaved, planar);
    EXPECT_EQ(korvala::test::allocationsOnThisThread(), allocations);
    EXPECT_EQ(locks, 0u);

    // The hooks can see themselves: a frame allocates and the mutex locks.
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();
    stereo.frame(1.0f / 60.0f);
    EXPECT_GT(korvala::test::allocationsOnThisThread(), allocations);
#ifndef KORVALA_TEST_SANITIZED
    EXPECT_GT(locks, 0u);

    // The same pushes on a thread that may make no system call but exit.
    std::atomic<int> finished{0};
    std::thread strict([&] {
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) == 0) {
            pushEveryShape(stereo, six, interleaved, planar);
            finished.store(1);
        } else {
            finished.store(-1);
        }
        // Only this thread ends: the exit call, not the exit_group of _exit.
        syscall(SYS_exit, 0);
    });
    strict.join();
    if (finished.load() < 0) {
        GTEST_SKIP() << "seccomp strict mode is not available here; allocations and locks checked";
    }
    EXPECT_EQ(finished.load(), 1);
    ++rounds;
#endif
    // Both engines still work after all that.
    Korvala::LiveSnapshot snap;
    six.frame(1.0f / 60.0f);
    ASSERT_TRUE(six.latest(snap));
    EXPECT_EQ(snap.inputFrames + snap.droppedFrames, rounds * 3u * (1 + 256 + 480 + 4096 + 6000));
}
