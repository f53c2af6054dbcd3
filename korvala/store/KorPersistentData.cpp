#include "korvala/store/KorPersistentData.h"

#include "korvala/store/KorAssert.h"

void KorPersistentData::addScalarDimension(AudioFeature feature) {
    sdMap_.emplace(feature, 0.0f);
}

void KorPersistentData::addDimension1D(AudioFeature feature, DimensionStore1D* store) {
    dst1DMap_[feature].reset(store);
}

void KorPersistentData::addDimension2D(AudioFeature feature, DimensionStore2D* store) {
    dst2DMap_[feature].reset(store);
}

void KorPersistentData::addDimension1DNoAnalysis(AudioFeature feature, std::vector<float>* store) {
    dst1DNoAnalysisMap_[feature].reset(store);
}

float& KorPersistentData::getScalarDimension(AudioFeature feature) {
    auto iterator = sdMap_.find(feature);
    KOR_CHECK(iterator != sdMap_.end(), "iterator!=sdMap_.end()", "getScalarDimension",
              "KorPersistentData", 16);
    return iterator->second;
}

DimensionStore1D* KorPersistentData::getDimension1D(AudioFeature feature) {
    auto iterator = dst1DMap_.find(feature);
    KOR_CHECK(iterator != dst1DMap_.end(), "iterator!=dst1DMap_.end()", "getDimension1D",
              "KorPersistentData", 25);
    return iterator->second.get();
}

std::vector<float>* KorPersistentData::get1DNoAnalysis(AudioFeature feature) {
    auto iterator = dst1DNoAnalysisMap_.find(feature);
    KOR_CHECK(iterator != dst1DNoAnalysisMap_.end(), "iterator != dst1DNoAnalysisMap_.end()",
              "get1DNoAnalysis", "KorPersistentData", 36);
    return iterator->second.get();
}

DimensionStore2D* KorPersistentData::getDimension2D(AudioFeature feature) {
    auto iterator = dst2DMap_.find(feature);
    KOR_CHECK(iterator != dst2DMap_.end(), "iterator!=dst2DMap_.end()", "getDimension2D",
              "KorPersistentData", 45);
    return iterator->second.get();
}
