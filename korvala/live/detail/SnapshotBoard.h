#pragma once

// Private to the live layer: one writer publishes a trivially copyable value,
// any number of readers copy the latest one out, never torn.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace Korvala::live_detail {

/// Sequence-locked slots written round-robin. The writer never waits; a reader
/// retries only when the writer has come round to the slot it is copying,
/// which takes kSlots - 1 further publications. The value is stored as atomic
/// words, so a copy racing with a write is defined (and thrown away).
template <typename T> class SnapshotBoard {
    static_assert(std::is_trivially_copyable<T>::value, "values are copied as words");
    static_assert(sizeof(T) % sizeof(std::uint64_t) == 0, "values are whole words");

public:
    static constexpr std::size_t kSlots = 4;
    static constexpr std::size_t kWords = sizeof(T) / sizeof(std::uint64_t);

    SnapshotBoard() : slots_(std::make_unique<Slot[]>(kSlots)) {}

    /// Writer (one thread): publishes `value` as the latest.
    void publish(const T& value) {
        const std::uint32_t next = (latest_.load(std::memory_order_relaxed) + 1) % kSlots;
        Slot& slot = slots_[next];
        const std::uint64_t sequence = slot.sequence.load(std::memory_order_relaxed);
        slot.sequence.store(sequence + 1, std::memory_order_relaxed);
        // Release stores (plain moves on x86): a reader that sees a new word
        // also sees the odd sequence, so it throws its copy away.
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        for (std::size_t i = 0; i < kWords; ++i) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes + i * sizeof word, sizeof word);
            slot.words[i].store(word, std::memory_order_release);
        }
        slot.sequence.store(sequence + 2, std::memory_order_release);
        latest_.store(next, std::memory_order_release);
        published_.store(true, std::memory_order_release);
    }

    /// Any thread: copies the latest value to `out`; false (and `out` untouched)
    /// before the first publication.
    bool read(T& out) const {
        if (!published_.load(std::memory_order_acquire)) {
            return false;
        }
        auto* bytes = reinterpret_cast<unsigned char*>(&out);
        for (;;) {
            const Slot& slot = slots_[latest_.load(std::memory_order_acquire)];
            const std::uint64_t before = slot.sequence.load(std::memory_order_acquire);
            if (before % 2 != 0) {
                continue;
            }
            for (std::size_t i = 0; i < kWords; ++i) {
                const std::uint64_t word = slot.words[i].load(std::memory_order_acquire);
                std::memcpy(bytes + i * sizeof word, &word, sizeof word);
            }
            if (slot.sequence.load(std::memory_order_relaxed) == before) {
                return true;
            }
        }
    }

private:
    struct Slot {
        alignas(64) std::atomic<std::uint64_t> sequence{0};
        std::array<std::atomic<std::uint64_t>, kWords> words{};
    };

    std::unique_ptr<Slot[]> slots_;
    std::atomic<std::uint32_t> latest_{0};
    std::atomic<bool> published_{false};
};

} // namespace Korvala::live_detail
