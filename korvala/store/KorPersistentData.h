#pragma once

#include "korvala/store/AudioFeature.h"
#include "korvala/store/DimensionStore1D.h"
#include "korvala/store/DimensionStore2D.h"

#include <map>
#include <memory>
#include <vector>

/// The feature map: one store per feature, in four kinds (scalar, history,
/// band history, plain vector). Owns every store it holds.
///
/// Asking for a feature that has no store of the asked kind is a programming
/// error and stops the program with an assertion naming the operation.
class KorPersistentData {
public:
    /// Adds a scalar at 0.0; an existing value stays as it is.
    void addScalarDimension(AudioFeature feature);
    /// Takes ownership; a store already filed under the feature is destroyed.
    void addDimension1D(AudioFeature feature, DimensionStore1D* store);
    void addDimension2D(AudioFeature feature, DimensionStore2D* store);
    void addDimension1DNoAnalysis(AudioFeature feature, std::vector<float>* store);

    float& getScalarDimension(AudioFeature feature);
    DimensionStore1D* getDimension1D(AudioFeature feature);
    std::vector<float>* get1DNoAnalysis(AudioFeature feature);
    DimensionStore2D* getDimension2D(AudioFeature feature);

private:
    std::map<AudioFeature, float> sdMap_;
    std::map<AudioFeature, std::unique_ptr<DimensionStore1D>> dst1DMap_;
    std::map<AudioFeature, std::unique_ptr<DimensionStore2D>> dst2DMap_;
    std::map<AudioFeature, std::unique_ptr<std::vector<float>>> dst1DNoAnalysisMap_;
};
