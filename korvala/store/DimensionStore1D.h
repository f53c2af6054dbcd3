#pragma once

#include "korvala/store/DoubleRingBuffer.h"
#include "korvala/store/Online_Deviance.h"
#include "korvala/store/Online_Mean.h"
#include "korvala/store/Online_StdDev.h"

#include <memory>

/// History of one scalar feature (one value per block) with running mean,
/// standard deviation, deviance and a slowly decaying peak.
///
/// A non-finite value (NaN, ±inf) is taken in as 0.0, so one bad block can
/// never poison the running sums for the life of the store.
class DimensionStore1D {
public:
    /// A store with a window of n ≥ 1 values, all zero.
    explicit DimensionStore1D(unsigned long n);

    /// Appends one value and updates every statistic in constant time.
    void add(float value);

    float getRaw() const { return dimensionBuffer_->latest(); }
    float getMean() const { return meanBuffer_->latest(); }
    float getStdDev() const { return stdDevBuffer_->latest(); }
    float getDeviance() const { return devianceBuffer_->latest(); }
    float getAccumulator() const { return accumulator_; }

    /// Newest value over the decaying peak: about 1 at the loudest recent moment.
    float getAccumulatorNormalized() const;
    /// Newest value mapped onto [0, 1] over mean ± 3 standard deviations.
    float getClampedAutoNormalized() const;
    /// The decaying-peak step of add() on its own.
    void update_accumulator(float value);

    DoubleRingBuffer<float>* getDimensionBuffer() const { return dimensionBuffer_.get(); }
    DoubleRingBuffer<float>* getMeanBuffer() const { return meanBuffer_.get(); }
    DoubleRingBuffer<float>* getStdDevBuffer() const { return stdDevBuffer_.get(); }
    DoubleRingBuffer<float>* getDevianceBuffer() const { return devianceBuffer_.get(); }

    unsigned long length() const { return static_cast<unsigned long>(length_); }

private:
    std::uint64_t length_;
    std::unique_ptr<DoubleRingBuffer<float>> dimensionBuffer_;
    std::unique_ptr<DoubleRingBuffer<float>> meanBuffer_;
    std::unique_ptr<DoubleRingBuffer<float>> stdDevBuffer_;
    std::unique_ptr<DoubleRingBuffer<float>> devianceBuffer_;
    Online_Mean mean_;
    Online_StdDev stdDev_;
    Online_Deviance deviance_;
    float accumulator_;
};
