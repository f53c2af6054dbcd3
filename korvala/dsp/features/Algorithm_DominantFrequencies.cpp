#include "korvala/dsp/features/Algorithm_DominantFrequencies.h"

#include "korvala/detail/Simd.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace {

using Range = std::pair<std::int64_t, std::int64_t>;

// The excluded bins form one closed interval per pick. The usual few picks
// fit inline; only a caller asking for many peaks makes it allocate. The
// intervals are kept sorted by their first bin, so the bins still open are
// the gaps between them, walked in ascending order.
class ExcludedBins {
public:
    void add(std::int64_t first, std::int64_t last) {
        if (first > last) {
            return; // excludes nothing
        }
        if (used_ < kInline) {
            inline_[used_] = Range(first, last);
        } else {
            overflow_.emplace_back(first, last);
        }
        ++used_;
        // One insertion step keeps the list sorted.
        for (std::size_t r = used_ - 1; r > 0 && at(r - 1).first > at(r).first; --r) {
            std::swap(at(r - 1), at(r));
        }
    }
    // Calls f(a, b) for every run [a, b) of open bins in [0, m), in order.
    template <typename F> void forOpenRuns(std::int64_t m, F f) const {
        std::int64_t next = 0;
        for (std::size_t r = 0; r < used_ && next < m; ++r) {
            const Range& range = at(r);
            const std::int64_t stop = std::min(range.first, m);
            if (stop > next) {
                f(next, stop);
            }
            next = std::max(next, range.second + 1);
        }
        if (next < m) {
            f(next, m);
        }
    }

private:
    Range& at(std::size_t r) { return r < kInline ? inline_[r] : overflow_[r - kInline]; }
    const Range& at(std::size_t r) const {
        return r < kInline ? inline_[r] : overflow_[r - kInline];
    }
    static constexpr std::size_t kInline = 8;
    std::array<Range, kInline> inline_{};
    std::vector<Range> overflow_;
    std::size_t used_ = 0;
};

// The first i in [a, b) with x[i] == value, or −1.
std::int64_t firstEqual(const float* x, std::int64_t a, std::int64_t b, float value) {
    std::int64_t i = a;
#if defined(__x86_64__) || defined(_M_X64)
    const __m128 wanted = _mm_set1_ps(value);
    for (; i + 4 <= b; i += 4) {
        const int hits = _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(x + i), wanted));
        if (hits != 0) {
            return i + __builtin_ctz(static_cast<unsigned>(hits));
        }
    }
#endif
    for (; i < b; ++i) {
        if (x[i] == value) {
            return i;
        }
    }
    return -1;
}

void findPeaks(const float* real, std::size_t realCount, const float* magnitudes,
               std::size_t magnitudeCount, int count, float sampleRate, float width,
               std::vector<float>& result) {
    result.clear();
    if (count < 1) {
        return;
    }
    const float scale = sampleRate / static_cast<float>(realCount);
    const auto m = static_cast<std::int64_t>(realCount);
    const auto bigM = static_cast<std::int64_t>(magnitudeCount);
    ExcludedBins excluded;
    for (int pick = 0; pick < count; ++pick) {
        // Scanning the open bins for the first one strictly above the best so
        // far (from 0) ends on the first bin holding the largest value above 0,
        // or on bin 0 when none is above 0: find that value, then its first bin.
        float best = 0.0f;
        excluded.forOpenRuns(bigM, [&](std::int64_t a, std::int64_t b) {
            best = kor::largestAbove(magnitudes + a, static_cast<std::size_t>(b - a), best);
        });
        std::int64_t peak = 0;
        if (best > 0.0f) {
            peak = -1;
            excluded.forOpenRuns(bigM, [&](std::int64_t a, std::int64_t b) {
                if (peak < 0) {
                    peak = firstEqual(magnitudes, a, b, best);
                }
            });
        }
        if (peak >= m) {
            throw std::out_of_range("Algorithm_DominantFrequencies: peak beyond the real parts");
        }
        const std::int64_t left = peak == 0 ? 0 : peak - 1;
        const std::int64_t right = peak == bigM - 1 ? bigM - 1 : peak + 1;
        if (left >= m || right >= m) {
            throw std::out_of_range(
                "Algorithm_DominantFrequencies: neighbour beyond the real parts");
        }
        const float delta =
            (real[right] - real[left]) / (2.0f * real[peak] - real[left] - real[right]);
        result.push_back(std::fabs((static_cast<float>(peak) - delta) * scale));
        const float halfWidth = (static_cast<float>(peak) / static_cast<float>(bigM)) * width;
        // A width that gives no finite half-width (an empty spectrum) excludes no
        // extra neighbours instead of converting garbage to an int.
        const std::int64_t half = std::isfinite(halfWidth) && std::fabs(halfWidth) < 1.0e9f
                                      ? static_cast<std::int64_t>(halfWidth)
                                      : 0;
        excluded.add(peak - half - 1, peak + half);
    }
}

} // namespace

void Algorithm_DominantFrequencies::transform(std::vector<float> real,
                                              std::vector<float> magnitudes, int count,
                                              float sampleRate, KorDSPData* record, float width) {
    std::vector<float> result;
    findPeaks(real.data(), real.size(), magnitudes.data(), magnitudes.size(), count, sampleRate,
              width, result);
    record->getAlgosOut().dominantFrequencies = std::move(result);
}

void Algorithm_DominantFrequencies::compute(const float* real, std::size_t realCount,
                                            const float* magnitudes, std::size_t magnitudeCount,
                                            int count, float sampleRate, float width,
                                            std::vector<float>& result) {
    findPeaks(real, realCount, magnitudes, magnitudeCount, count, sampleRate, width, result);
}
