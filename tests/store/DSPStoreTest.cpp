#include "korvala/store/DSPStore.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
const AudioFeature kHistories[] = {AudioFeature::VU,         AudioFeature::VUAlt,
                                   AudioFeature::BassVU,     AudioFeature::MidHighVU,
                                   AudioFeature::UpperMidVU, AudioFeature::MidVU,
                                   AudioFeature::HighVU,     AudioFeature::RMS,
                                   AudioFeature::HFC,        AudioFeature::SpectralFlux};
}

TEST(DSPStore, NewStoreHoldsEveryChannelAtZero) {
    DSPStore store;
    KorPersistentData& data = *store.getPersistentData();
    for (AudioFeature f : kHistories) {
        DimensionStore1D* h = data.getDimension1D(f);
        EXPECT_EQ(h->length(), 173u);
        EXPECT_EQ(h->getRaw(), 0.0f);
        EXPECT_EQ(h->getMean(), 0.0f);
        EXPECT_EQ(h->getDeviance(), 0.0f);
        EXPECT_EQ(h->getAccumulatorNormalized(), 0.0f);
    }
    EXPECT_EQ(data.getDimension2D(AudioFeature::LogBandedFFT)->bands(), 22u);
    EXPECT_EQ(data.getDimension2D(AudioFeature::LogBandedFFT)->length(), 1024u);
    EXPECT_EQ(data.getScalarDimension(AudioFeature::BPM), 0.0f);
    EXPECT_EQ(data.getScalarDimension(AudioFeature::BPMConfidence), 0.0f);
    EXPECT_EQ(*data.get1DNoAnalysis(AudioFeature::FFTPower), std::vector<float>(1024, 0.0f));
    EXPECT_EQ(*data.get1DNoAnalysis(AudioFeature::MiniLogBandedFFT), std::vector<float>(35, 0.0f));
    EXPECT_EQ(*data.get1DNoAnalysis(AudioFeature::Waveform), std::vector<float>(2048, 0.0f));
}

TEST(DSPStore, AddFeedsEveryFieldIntoItsOwnChannel) {
    DSPStore store;
    KorDSPData record;
    KorAlgosOut& a = record.getAlgosOut();
    a.vu = 1;
    a.bassVU = 2;
    a.midVU = 3;
    a.midHighVU = 4;
    a.upperMidVU = 5;
    a.highVU = 6;
    a.rms = 7;
    a.spectralFlux = 8;
    a.hfc = 9;
    a.bpm = 121;
    a.bpmConfidence = 0.25f;
    a.logBandedFFTVUs.assign(22, 0.5f);
    a.miniLogBandedFFT.assign(35, 0.75f);
    record.getFFTOut().squaredMagnitudes.assign(1024, 2.5f);
    record.channelBuffer().assign(2048, -0.5f);
    store.add(record);

    KorPersistentData& data = *store.getPersistentData();
    const std::pair<AudioFeature, float> expected[] = {
        {AudioFeature::VU, 1},     {AudioFeature::VUAlt, 1},     {AudioFeature::BassVU, 2},
        {AudioFeature::MidVU, 3},  {AudioFeature::MidHighVU, 4}, {AudioFeature::UpperMidVU, 5},
        {AudioFeature::HighVU, 6}, {AudioFeature::RMS, 7},       {AudioFeature::SpectralFlux, 8},
        {AudioFeature::HFC, 9}};
    for (const auto& [feature, value] : expected) {
        EXPECT_EQ(data.getDimension1D(feature)->getRaw(), value)
            << "feature " << static_cast<int>(feature);
    }
    EXPECT_EQ(data.getScalarDimension(AudioFeature::BPM), 121.0f);
    EXPECT_EQ(data.getScalarDimension(AudioFeature::BPMConfidence), 0.25f);
    EXPECT_EQ(data.getDimension2D(AudioFeature::LogBandedFFT)->band(21)->getRaw(), 0.5f);
    EXPECT_EQ(data.get1DNoAnalysis(AudioFeature::FFTPower)->at(1023), 2.5f);
    EXPECT_EQ(data.get1DNoAnalysis(AudioFeature::MiniLogBandedFFT)->at(34), 0.75f);
    EXPECT_EQ(data.get1DNoAnalysis(AudioFeature::Waveform)->at(2047), -0.5f);
}

TEST(DSPStore, PlainVectorsKeepTheirLengthAndRejectLongerSources) {
    DSPStore store;
    std::vector<float>* power = store.getPersistentData()->get1DNoAnalysis(AudioFeature::FFTPower);
    store.addToSubStore(power, std::vector<float>(1024, 1.0f));
    store.addToSubStore(power, std::vector<float>(10, 2.0f));
    EXPECT_EQ(power->size(), 1024u);
    EXPECT_EQ(power->at(9), 2.0f);
    EXPECT_EQ(power->at(10), 1.0f);
    EXPECT_THROW(store.addToSubStore(power, std::vector<float>(1025, 3.0f)), std::out_of_range);
    EXPECT_EQ(power->size(), 1024u);
}

TEST(KorPersistentData, RegistrationKeepsScalarsAndReplacesStores) {
    KorPersistentData data;
    data.addScalarDimension(AudioFeature::BPM);
    data.getScalarDimension(AudioFeature::BPM) = 90.0f;
    data.addScalarDimension(AudioFeature::BPM);
    EXPECT_EQ(data.getScalarDimension(AudioFeature::BPM), 90.0f);

    data.addDimension1D(AudioFeature::VU, new DimensionStore1D(4));
    data.getDimension1D(AudioFeature::VU)->add(1.0f);
    data.addDimension1D(AudioFeature::VU, new DimensionStore1D(4));
    EXPECT_EQ(data.getDimension1D(AudioFeature::VU)->getRaw(), 0.0f);
}

TEST(KorPersistentDataDeathTest, WrongKindLookupsStopWithTheirAssertion) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DSPStore store;
    KorPersistentData& data = *store.getPersistentData();
    EXPECT_DEATH(data.getDimension1D(AudioFeature::BPM),
                 "iterator!=dst1DMap_\\.end\\(\\).*getDimension1D.*KorPersistentData.*line 25");
    EXPECT_DEATH(data.getScalarDimension(AudioFeature::VU),
                 "iterator!=sdMap_\\.end\\(\\).*getScalarDimension.*KorPersistentData.*line 16");
    EXPECT_DEATH(data.get1DNoAnalysis(AudioFeature::VU),
                 "iterator != dst1DNoAnalysisMap_\\.end\\(\\).*get1DNoAnalysis.*line 36");
    EXPECT_DEATH(data.getDimension2D(AudioFeature::VU),
                 "iterator!=dst2DMap_\\.end\\(\\).*getDimension2D.*line 45");
}
