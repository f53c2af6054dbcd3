#pragma once

#include "korvala/record/KorDSPData.h"
#include "korvala/store/KorPersistentData.h"

#include <memory>
#include <vector>

/// Creates every feature store the engine uses and, once per block, copies
/// the block's analysis record into them.
class DSPStore {
public:
    DSPStore();

    /// Appends one block's results to the histories and overwrites the scalars
    /// and plain vectors.
    void add(KorDSPData& record);

    KorPersistentData* getPersistentData() const { return persistentData_.get(); }

    void addToSubStore(DimensionStore1D* store, float value);
    void addToSubStore(DimensionStore2D* store, std::vector<float> values);
    void addToSubStore(float& scalar, float value);
    /// Overwrites element by element; a longer source raises std::out_of_range,
    /// a shorter one leaves the tail. The stored vector never changes length.
    void addToSubStore(std::vector<float>* store, const std::vector<float>& values);

private:
    std::unique_ptr<KorPersistentData> persistentData_;
};
