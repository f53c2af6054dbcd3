#include "korvala/dsp/features/BandLevels.h"

#include "korvala/detail/BandSums.h"
#include "korvala/dsp/features/Algorithm_VUBP.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

BandLevels::BandLevels(const std::vector<Band>& bands, std::size_t n, float sampleRate) : n_(n) {
    const float width = sampleRate / static_cast<float>(2 * n);
    const auto count = static_cast<std::int64_t>(n);
    std::int32_t longest = 0;
    for (const Band& band : bands) {
        const float low = static_cast<float>(band.low);
        const float high = static_cast<float>(band.high);
        const std::int32_t lowBin = Algorithm_VUBP::edgeBin(low / width);
        const std::int32_t highBin = Algorithm_VUBP::edgeBin(high / width);
        if (lowBin < 0 || lowBin >= count) {
            throw std::out_of_range("Algorithm_VUBP: band starts outside the spectrum");
        }
        Plan plan{};
        plan.lowBin = lowBin;
        plan.length = highBin > lowBin ? highBin - lowBin : 0;
        plan.upperBin = -1;
        plan.lowFraction = std::fmod(low, width) / width;
        plan.upperFraction = 0.0f;
        if (static_cast<std::int64_t>(highBin) != count) {
            const std::int64_t next = static_cast<std::int64_t>(highBin) + 1;
            if (next >= count || next < 0) {
                throw std::out_of_range("Algorithm_VUBP: band ends outside the spectrum");
            }
            plan.upperBin = next;
            plan.upperFraction = std::fmod(high, width) / width;
        }
        plan.divisor = static_cast<float>(highBin - lowBin);
        plan.singleBin = highBin == lowBin;
        plans_.push_back(plan);
        longest = std::max(longest, plan.length);
    }
    planSegments(longest);
}

void BandLevels::planSegments(std::int32_t longest) {
    // Longest bands first, each to the lane with the fewest bins so far.
    std::vector<std::uint32_t> order(plans_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
        return plans_[a].length > plans_[b].length;
    });
    std::vector<std::uint32_t> queue[kLanes];
    std::int64_t load[kLanes] = {};
    for (std::uint32_t band : order) {
        if (plans_[band].length == 0) {
            continue; // an empty sum keeps the +0 it is given below
        }
        const std::size_t lane = static_cast<std::size_t>(
            std::min_element(std::begin(load), std::end(load)) - std::begin(load));
        queue[lane].push_back(band);
        load[lane] += plans_[band].length;
    }
    // Walk the lanes side by side, cutting a segment wherever a band ends.
    std::size_t next[kLanes] = {};
    std::int32_t done[kLanes] = {}; // bins of the lane's current band already summed
    for (;;) {
        Segment segment{};
        segment.steps = 0;
        for (std::size_t l = 0; l < kLanes; ++l) {
            if (next[l] < queue[l].size()) {
                const std::int32_t left = plans_[queue[l][next[l]]].length - done[l];
                segment.steps = segment.steps == 0 ? left : std::min(segment.steps, left);
            }
        }
        if (segment.steps == 0) {
            break;
        }
        for (std::size_t l = 0; l < kLanes; ++l) {
            segment.start[l] = -1;
            segment.ends[l] = -1;
            if (next[l] < queue[l].size()) {
                const Plan& plan = plans_[queue[l][next[l]]];
                segment.start[l] = plan.lowBin + done[l];
                done[l] += segment.steps;
                if (done[l] == plan.length) {
                    segment.ends[l] = static_cast<std::int32_t>(queue[l][next[l]]);
                    done[l] = 0;
                    ++next[l];
                }
            }
        }
        segments_.push_back(segment);
    }
    zeros_.assign(static_cast<std::size_t>(longest) + kLanes, 0.0f);
    sums_.assign(plans_.size(), 0.0f);
}

void BandLevels::compute(const float* power, float* out) {
    sumBands(power, [] {});
    levelsFromSums(power, out);
}

void BandLevels::levelsFromSums(const float* power, float* out) const {
    for (std::size_t i = 0; i < plans_.size(); ++i) {
        const Plan& plan = plans_[i];
        const float a = power[plan.lowBin];
        float result;
        if (plan.singleBin) {
            result = a;
        } else {
            // The upper term is a literal 0 when the band runs to the last bin:
            // adding it still turns a −0 into +0, as the plain formula does.
            const float upper =
                plan.upperBin < 0 ? 0.0f : plan.upperFraction * power[plan.upperBin];
            result = (upper + (sums_[i] - plan.lowFraction * a)) / plan.divisor;
        }
        out[i] = std::isnan(result) ? 0.0f : result;
    }
}
