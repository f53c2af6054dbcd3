#pragma once

// Private to the live layer: the single-producer, single-consumer ring of mono
// samples between the audio callback and the frame thread.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace Korvala::live_detail {

/// One frame's share of the transport checksum (see LiveSnapshot).
inline std::uint64_t checksumTerm(std::uint64_t position, float sample) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &sample, sizeof bits);
    return (std::uint64_t(bits) + 1) * (2 * position + 1);
}

/// Positions are 64-bit counts of frames since the start, so they never wrap.
/// The producer never waits: when a push does not fit, it moves the read
/// position forward itself (dropping the oldest frames) with one compare-and-swap
/// and counts what it dropped. The consumer takes frames by copying them first
/// and then claiming them with a compare-and-swap; whatever the producer
/// dropped meanwhile is discarded from the copy. Slots are relaxed atomics, so
/// a copy racing with an overwrite is defined behaviour and is thrown away.
// The producer's and the consumer's counters sit on cache lines of their own
// on purpose, so the padding the analyzer reports is the point.
class SampleRing { // NOLINT(clang-analyzer-optin.performance.Padding)
public:
    explicit SampleRing(std::size_t capacity) : capacity_(capacity) {
        std::size_t size = 1;
        while (size < capacity) {
            size *= 2;
        }
        mask_ = size - 1;
        slots_ = std::make_unique<std::atomic<float>[]>(size);
        for (std::size_t i = 0; i < size; ++i) {
            slots_[i].store(0.0f, std::memory_order_relaxed);
        }
    }

    std::size_t capacity() const { return capacity_; }

    /// Producer: stores `count` samples from `source(i, out)` calls (i from 0,
    /// `out` the sample); wait-free, no allocation, no system call.
    template <typename Source> void push(std::size_t count, Source&& source) {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        const std::uint64_t end = w + count;
        const std::uint64_t keepFrom = end > capacity_ ? end - capacity_ : 0;
        std::uint64_t r = read_.load(std::memory_order_acquire);
        // The consumer only moves the read position forward, so each failed
        // exchange leaves less (or nothing) to drop.
        while (r < keepFrom && !read_.compare_exchange_weak(r, keepFrom, std::memory_order_acq_rel,
                                                            std::memory_order_acquire)) {
        }
        if (r < keepFrom) {
            // Frames [r, keepFrom) are dropped: those still in the ring, then
            // those of this push that do not fit.
            std::uint64_t sum = 0;
            for (std::uint64_t p = r; p < std::min(w, keepFrom); ++p) {
                sum += checksumTerm(p, slots_[p & mask_].load(std::memory_order_relaxed));
            }
            for (std::uint64_t p = std::max(w, r); p < keepFrom; ++p) {
                float sample = 0.0f;
                source(static_cast<std::size_t>(p - w), sample);
                sum += checksumTerm(p, sample);
            }
            dropped_.store(dropped_.load(std::memory_order_relaxed) + (keepFrom - r),
                           std::memory_order_relaxed);
            droppedChecksum_.store(droppedChecksum_.load(std::memory_order_relaxed) + sum,
                                   std::memory_order_relaxed);
        }
        for (std::uint64_t p = std::max(w, keepFrom); p < end; ++p) {
            float sample = 0.0f;
            source(static_cast<std::size_t>(p - w), sample);
            slots_[p & mask_].store(sample, std::memory_order_relaxed);
        }
        write_.store(end, std::memory_order_release);
    }

    /// Consumer: copies up to `capacity` of the oldest frames to `out`, claims
    /// them and returns how many; `position` receives the first one's position.
    std::size_t take(float* out, std::size_t capacity, std::uint64_t& position) {
        std::uint64_t r = read_.load(std::memory_order_acquire);
        for (;;) {
            const std::uint64_t w = write_.load(std::memory_order_acquire);
            // A push larger than the ring moves the read position past the
            // write position until it has stored its frames.
            if (w <= r) {
                position = r;
                return 0;
            }
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(w - r, capacity));
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = slots_[(r + i) & mask_].load(std::memory_order_relaxed);
            }
            std::uint64_t seen = r;
            if (read_.compare_exchange_strong(seen, r + n, std::memory_order_acq_rel,
                                              std::memory_order_acquire)) {
                position = r;
                return n;
            }
            // The producer dropped [r, seen) meanwhile; frames from `seen` on were
            // not overwritten (an overwrite moves the read position past them
            // first), so they are kept if the claim succeeds.
            if (seen < r + n) {
                std::uint64_t expected = seen;
                if (read_.compare_exchange_strong(expected, r + n, std::memory_order_acq_rel,
                                                  std::memory_order_acquire)) {
                    const std::size_t skip = static_cast<std::size_t>(seen - r);
                    std::memmove(out, out + skip, (n - skip) * sizeof(float));
                    position = seen;
                    return n - skip;
                }
                seen = expected;
            }
            r = seen;
        }
    }

    /// Frames waiting (approximate while the producer runs).
    std::uint64_t waiting() const {
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        return w > r ? w - r : 0;
    }
    std::uint64_t pushed() const { return write_.load(std::memory_order_acquire); }
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    std::uint64_t droppedChecksum() const {
        return droppedChecksum_.load(std::memory_order_relaxed);
    }

private:
    std::size_t capacity_;
    std::size_t mask_ = 0;
    std::unique_ptr<std::atomic<float>[]> slots_;
    alignas(64) std::atomic<std::uint64_t> write_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
    alignas(64) std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint64_t> droppedChecksum_{0};
};

} // namespace Korvala::live_detail
