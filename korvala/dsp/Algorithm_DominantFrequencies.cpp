#include "korvala/dsp/Algorithm_DominantFrequencies.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace {

// The excluded bins form one closed interval per pick, so a short list of
// intervals stands in for a set of indices. The usual few picks fit inline;
// only a caller asking for many peaks makes it allocate.
class ExcludedBins {
public:
    bool contains(std::int64_t i) const {
        for (std::size_t r = 0; r < used_; ++r) {
            const Range& range = r < kInline ? inline_[r] : overflow_[r - kInline];
            if (i >= range.first && i <= range.second) {
                return true;
            }
        }
        return false;
    }
    void add(std::int64_t first, std::int64_t last) {
        if (used_ < kInline) {
            inline_[used_] = Range(first, last);
        } else {
            overflow_.emplace_back(first, last);
        }
        ++used_;
    }

private:
    using Range = std::pair<std::int64_t, std::int64_t>;
    static constexpr std::size_t kInline = 8;
    std::array<Range, kInline> inline_{};
    std::vector<Range> overflow_;
    std::size_t used_ = 0;
};

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
        float best = 0.0f;
        std::int64_t peak = 0;
        for (std::int64_t i = 0; i < bigM; ++i) {
            if (magnitudes[i] > best && !excluded.contains(i)) {
                best = magnitudes[i];
                peak = i;
            }
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
