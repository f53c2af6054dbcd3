#include "korvala/components/RandomSequence.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The engine's sequence is the C library's: unseeded as an unseeded program's
// rand(), and after seed(s) as rand() after srand(s), for seeds at the edges
// of the range too. (The C library's generator is the reference only where it
// is the GNU one.)
TEST(RandomSequence, RepeatsTheCLibrarySequenceUnseededAndForEverySeed) {
#ifndef __GLIBC__
    GTEST_SKIP() << "the reference sequence is the GNU C library's rand()";
#else
    const unsigned int seeds[] = {1u, 0u, 2u, 7u, 12345u, 0x7fffffffu, 0x80000000u, 0xffffffffu};
    for (unsigned int seed : seeds) {
        Korvala::RandomSequence random;
        if (seed != 1u) {
            random.seed(seed);
        }
        std::srand(seed);
        for (int i = 0; i < 2000; ++i) {
            ASSERT_EQ(random.next(), std::rand()) << "seed " << seed << ", draw " << i;
        }
    }
#endif
}
