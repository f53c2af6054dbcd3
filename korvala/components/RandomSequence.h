#pragma once

#include <cstdint>

namespace Korvala {

/// An engine's own pseudo-random sequence: the additive feedback generator
/// (degree 31, separation 3) behind the GNU C library's rand(). Unseeded it
/// yields exactly what rand() yields in a program that never calls srand();
/// seed(s) restarts it as srand(s) restarts rand(). Values lie in [0, 2^31).
class RandomSequence {
public:
    RandomSequence() { seed(1); }

    void seed(unsigned int value) {
        // The table is filled by a Lehmer generator (16807 mod 2^31 − 1) in
        // Schrage's form, on a 32-bit signed word as the C library does: a
        // seed of 2^31 or more starts negative, and every step wraps to 32 bits.
        auto wrap = [](std::int64_t x) {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(x & 0xffffffff));
        };
        std::int32_t word = wrap(value == 0 ? 1 : value);
        state_[0] = word;
        for (int i = 1; i < kDegree; ++i) {
            const std::int64_t hi = word / 127773;
            const std::int64_t lo = word % 127773;
            word = wrap(16807 * lo - 2836 * hi);
            if (word < 0) {
                word = wrap(static_cast<std::int64_t>(word) + 2147483647);
            }
            state_[i] = word;
        }
        front_ = kSeparation;
        rear_ = 0;
        for (int i = 0; i < 10 * kDegree; ++i) {
            next();
        }
    }

    int next() {
        const std::uint32_t sum =
            static_cast<std::uint32_t>(state_[front_]) + static_cast<std::uint32_t>(state_[rear_]);
        state_[front_] = static_cast<std::int32_t>(sum);
        front_ = front_ + 1 == kDegree ? 0 : front_ + 1;
        rear_ = rear_ + 1 == kDegree ? 0 : rear_ + 1;
        return static_cast<int>(sum >> 1);
    }

private:
    static constexpr int kDegree = 31;
    static constexpr int kSeparation = 3;
    std::int32_t state_[kDegree] = {};
    int front_ = kSeparation;
    int rear_ = 0;
};

} // namespace Korvala
