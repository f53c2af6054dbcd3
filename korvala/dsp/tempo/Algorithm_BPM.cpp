#include "korvala/dsp/tempo/Algorithm_BPM.h"

#include "korvala/detail/Simd.h"
#include "korvala/dsp/fft/SpectrumStage.h"
#include "korvala/dsp/tempo/ComplexFloat.h"
#include "korvala/dsp/tempo/MacleodEstimator.h"
#include "korvala/dsp/tempo/SpectralFlatness.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

Algorithm_BPM::Algorithm_BPM()
    : fftSize_(1024.0f), minBPM_(50.0f), maxBPM_(220.0f),
      // 60 · 44100 / (512 · 1024): the tempo of one modulation bin.
      binToBPM_(5.0468445f), lowBin_(10), highBin_(44),
      fft_(std::make_unique<SpectrumStage>(1024u)), decimation_(12), decimationCounter_(0),
      bpm_(0.0f), historyLength_(60.0f), confidence_(0.0f), stableCount_(0), previousBin_(0),
      smoothedConfidence_(0.0f) {
    fft_->setWindow(WindowingFunction::Blackman);
    recentBPM_ =
        std::make_unique<DoubleRingBuffer<float>>(static_cast<unsigned long>(historyLength_));
    const auto bins = static_cast<std::size_t>(fftSize_ * 0.5f);
    summedPower_.assign(bins, 0.0f);
    summedReal_.assign(bins, 0.0f);
    summedImag_.assign(bins, 0.0f);
    bandPower_.assign(bins, 0.0f);
    rowReal_.assign(bins, 0.0f);
    rowImag_.assign(bins, 0.0f);
    rowPower_.assign(bins, 0.0f);
}

Algorithm_BPM::~Algorithm_BPM() = default;

void Algorithm_BPM::transform(DimensionStore2D* history, KorDSPData* record) {
    decimationCounter_ = (decimationCounter_ + 1) % decimation_;
    if (decimationCounter_ == 0) {
        if (history == nullptr) {
            throw std::invalid_argument("Algorithm_BPM: no band history");
        }
        float t = estimate(*history);
        t = foldOctave(t);
        bpm_ = t;
        bpm_ = leakyHistogram(t);
    }
    if (record != nullptr) {
        record->getAlgosOut().bpm = bpm_;
        record->getAlgosOut().bpmConfidence = confidence_;
    }
}

float Algorithm_BPM::estimate(const DimensionStore2D& history) {
    const auto n = static_cast<std::size_t>(fftSize_);
    if (history.length() < n) {
        throw std::invalid_argument("Algorithm_BPM: band history shorter than the FFT");
    }
    const std::size_t bins = summedPower_.size();
    std::fill(summedPower_.begin(), summedPower_.end(), 0.0f);
    std::fill(summedReal_.begin(), summedReal_.end(), 0.0f);
    std::fill(summedImag_.begin(), summedImag_.end(), 0.0f);
    const auto lo = static_cast<std::size_t>(lowBin_);
    const auto hi = static_cast<std::size_t>(highBin_);

    // Each band's contribution is added to the sums as soon as it is ready: for
    // every bin the additions still run in band order, so the sums are those of
    // collecting all bands first. The rows are read straight from the store's
    // rings (the same values, oldest first, that a copy of the history holds).
    for (unsigned long b = 0; b < history.bands(); ++b) {
        const DoubleRingBuffer<float>* ring = history.band(b)->getDimensionBuffer();
        const float* row = ring->window();
        // Only the powers and (for the modulation bins) the real and
        // imaginary parts are read here: the FFT skips magnitudes and phases.
        fft_->run(row, rowReal_.data(), rowImag_.data(), rowPower_.data(), nullptr);
        const float* power = rowPower_.data();
        const float* real = rowReal_.data();
        const float* imag = rowImag_.data();

        const float peakPower = kor::largestAbove(power, bins, 0.0f);
        for (std::size_t k = lo; k < hi; ++k) {
            bandPower_[k] = power[k] / peakPower;
        }
        // A peaky modulation spectrum (low flatness) weighs far more than a flat one.
        const float flatness =
            kor::StaticAlgorithm::SpectralFlatness::compute(bandPower_.data() + lo, hi - lo);
        const float weight = flatness * flatness;
        for (std::size_t k = lo; k < hi; ++k) {
            bandPower_[k] = bandPower_[k] / weight;
        }
        // The stage's magnitudes are the correctly rounded square roots of its
        // powers, and a correctly rounded root never decreases as its argument
        // grows: the largest magnitude is the root of the largest power (0 when
        // every power is 0 or NaN), without a second scan.
        const float peakMagnitude = std::sqrt(peakPower);
        for (std::size_t k = lo; k < hi; ++k) {
            summedPower_[k] += bandPower_[k];
            summedReal_[k] += real[k] / peakMagnitude;
            summedImag_[k] += imag[k] / peakMagnitude;
        }
    }

    const int p = peakBin(summedPower_.data());
    const auto at = [this](int k) {
        return kor::ComplexFloat(summedReal_[static_cast<std::size_t>(k)],
                                 summedImag_[static_cast<std::size_t>(k)]);
    };
    const float delta =
        kor::StaticAlgorithm::MacleodEstimator::calculate(at(p - 1), at(p), at(p + 1));
    const float t = (delta + static_cast<float>(p)) * binToBPM_;
    return std::isfinite(t) ? t : 120.0f;
}

int Algorithm_BPM::peakBin(const std::vector<float>& summedPower) const {
    if (summedPower.size() < static_cast<std::size_t>(highBin_)) {
        throw std::invalid_argument("Algorithm_BPM::peakBin: too few bins");
    }
    return peakBin(summedPower.data());
}

int Algorithm_BPM::peakBin(const float* summedPower) const {
    int peak = lowBin_;
    float best = 0.0f;
    for (int k = lowBin_; k < highBin_; ++k) {
        const float value = std::isnan(summedPower[k]) ? 0.0f : summedPower[k];
        if (value > best) {
            best = value;
            peak = k;
        }
    }
    return peak;
}

float Algorithm_BPM::foldOctave(float bpm) const {
    if (bpm < minBPM_) {
        return bpm * 2.0f;
    }
    if (bpm > maxBPM_) {
        return bpm * 0.5f;
    }
    return bpm;
}

float Algorithm_BPM::leakyHistogram(float bpm) {
    const float old = recentBPM_->leaving();
    const std::int32_t newBin = binIndex(bpm);
    const std::int32_t oldBin = binIndex(old);

    binCounts_[newBin] += 1;
    std::uint64_t& oldCount = binCounts_[oldBin];
    if (oldCount != 0) {
        oldCount -= 1;
    }

    std::int32_t winner = 0;
    std::uint64_t bestCount = 0;
    for (const auto& [bin, count] : binCounts_) {
        if (count > bestCount) {
            bestCount = count;
            winner = bin;
        }
    }
    if (winner != previousBin_) {
        stableCount_ = 0;
    }

    binSums_[newBin] += bpm;
    binSums_[oldBin] -= old;
    recentBPM_->push(bpm);

    const float raw = std::clamp(
        static_cast<float>(stableCount_) / (historyLength_ + historyLength_), 0.0f, 1.0f);
    smoothedConfidence_ = static_cast<float>(static_cast<double>(smoothedConfidence_) +
                                             static_cast<double>(raw - smoothedConfidence_) * 0.2);
    confidence_ = smoothedConfidence_;

    stableCount_ += 1;
    previousBin_ = winner;
    return binSums_[winner] / static_cast<float>(binCounts_[winner]);
}

int Algorithm_BPM::binIndex(float bpm) {
    const double bin = std::round(static_cast<double>(bpm) / 10.0) - 5.0;
    if (!(bin > -2147483649.0 && bin < 2147483648.0)) {
        return -5;
    }
    return static_cast<int>(bin);
}

void Algorithm_BPM::setDecimation(float decimation) {
    // The counter is taken modulo this value: below 1 (or NaN) would divide by zero.
    if (!(decimation >= 1.0f)) {
        decimation_ = 1;
    } else if (decimation >= 2147483647.0f) {
        decimation_ = 2147483647;
    } else {
        decimation_ = static_cast<std::int32_t>(decimation);
    }
}

float Algorithm_BPM::logisticCurve(float x, float s) {
    const double exponent = (static_cast<double>(x / s) - 0.75) * -7.0;
    const float denominator = std::exp(static_cast<float>(exponent)) + 1.0f;
    const auto value = static_cast<float>(1.15 / static_cast<double>(denominator));
    return std::min(value, 1.0f);
}
