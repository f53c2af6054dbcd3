#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// A fixed-length ring kept twice over, so the window is always one contiguous
/// run of n values, oldest first. Starts as n zeros.
template <typename T> class DoubleRingBuffer {
public:
    explicit DoubleRingBuffer(unsigned long n)
        : size_(2 * static_cast<std::uint64_t>(n)), data_(new T[2 * n]()) {}
    virtual ~DoubleRingBuffer() = default;

    DoubleRingBuffer(const DoubleRingBuffer&) = delete;
    DoubleRingBuffer& operator=(const DoubleRingBuffer&) = delete;

    /// Window length n.
    std::size_t length() const { return static_cast<std::size_t>(size_ / 2); }
    /// Number of values appended so far, at most n.
    int count() const { return count_; }
    /// Index of the next write, in [0, n).
    int head() const { return head_; }

    /// Appends v at both copies of the write position.
    void push(T v) {
        const std::size_t n = length();
        data_[head_] = v;
        data_[head_ + n] = v;
        head_ = static_cast<int>((static_cast<std::size_t>(head_) + 1) % n);
        if (static_cast<std::size_t>(count_) < n) {
            ++count_;
        }
    }

    /// The newest value (0 before the first append).
    T latest() const { return data_[(static_cast<std::size_t>(head_) + size_ - 1) % size_]; }

    /// The value the next append pushes out of the window (0 while young).
    T leaving() const { return data_[static_cast<std::size_t>(head_) % size_]; }

    /// Pointer to the window, oldest first; valid for length() values.
    const T* window() const { return data_.get() + head_; }

    /// A copy of the window, oldest first, newest last.
    std::vector<T> toVector() const {
        const T* w = window();
        return std::vector<T>(w, w + length());
    }

private:
    int head_ = 0;
    int count_ = 0;
    std::uint64_t size_;
    std::unique_ptr<T[]> data_;
};
