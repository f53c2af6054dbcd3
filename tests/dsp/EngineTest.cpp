#include "korvala/dsp/Engine.h"
#include "korvala/dsp/features/Algorithm_Centroid.h"
#include "korvala/dsp/features/Algorithm_DominantFrequencies.h"
#include "korvala/dsp/features/Algorithm_HFC.h"
#include "korvala/dsp/features/Algorithm_RMS.h"
#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"
#include "korvala/dsp/features/Algorithm_VU.h"
#include "korvala/dsp/features/Algorithm_VUBP.h"
#include "korvala/record/FrequencyBands.h"
#include "korvala/store/DSPStore.h"
#include "tests/support/Signals.h"
#include "tests/support/StoreRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

using namespace korvala::test;

namespace {
bool allFinite(const std::vector<float>& values) {
    for (float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

bool ringFinite(const DoubleRingBuffer<float>* ring) {
    return allFinite(ring->toVector());
}

void expectRecordAndHistoriesFinite(StoreRig& rig) {
    rig.engine.completePhases(rig.record);
    const KorFFTOut& fft = rig.record.getFFTOut();
    const std::vector<float>& window = rig.record.channelBuffer();
    for (const std::vector<float>* v :
         {&fft.real, &fft.imag, &fft.magnitudes, &fft.squaredMagnitudes, &fft.phases, &window}) {
        EXPECT_TRUE(allFinite(*v));
    }
    const KorAlgosOut& a = rig.record.getAlgosOut();
    EXPECT_TRUE(allFinite(a.dominantFrequencies));
    EXPECT_TRUE(allFinite(a.logBandedFFTVUs));
    EXPECT_TRUE(allFinite(a.miniLogBandedFFT));
    for (float v : {a.vu, a.centroid, a.rms, a.spectralFlux, a.hfc, a.bassVU, a.midVU, a.midHighVU,
                    a.upperMidVU, a.highVU, a.bpm, a.bpmConfidence}) {
        EXPECT_TRUE(std::isfinite(v));
    }
    KorPersistentData& data = *rig.store.getPersistentData();
    for (AudioFeature f :
         {AudioFeature::VU, AudioFeature::VUAlt, AudioFeature::BassVU, AudioFeature::MidVU,
          AudioFeature::MidHighVU, AudioFeature::UpperMidVU, AudioFeature::HighVU,
          AudioFeature::RMS, AudioFeature::SpectralFlux, AudioFeature::HFC}) {
        DimensionStore1D* s = data.getDimension1D(f);
        EXPECT_TRUE(ringFinite(s->getDimensionBuffer()) && ringFinite(s->getMeanBuffer()) &&
                    ringFinite(s->getStdDevBuffer()) && ringFinite(s->getDevianceBuffer()) &&
                    std::isfinite(s->getAccumulator()))
            << "feature " << static_cast<int>(f);
    }
    for (dimensionType t : {dimensionType::Raw, dimensionType::Mean, dimensionType::StdDev,
                            dimensionType::Deviance}) {
        for (const auto& row :
             data.getDimension2D(AudioFeature::LogBandedFFT)->getDimensionData(t)) {
            EXPECT_TRUE(allFinite(row));
        }
    }
    for (AudioFeature f :
         {AudioFeature::FFTPower, AudioFeature::MiniLogBandedFFT, AudioFeature::Waveform}) {
        EXPECT_TRUE(allFinite(*data.get1DNoAnalysis(f)));
    }
    EXPECT_TRUE(std::isfinite(data.getScalarDimension(AudioFeature::BPM)));
}
} // namespace

TEST(Engine, WindowSlidesBlocksInOldestFirst) {
    // Quarter steps keep the labels well inside the sample limit.
    StoreRig rig;
    rig.run(ramp(512, 0.25f, 0.25f));
    std::vector<float> expected(1536, 0.0f);
    const std::vector<float> first = ramp(512, 0.25f, 0.25f);
    expected.insert(expected.end(), first.begin(), first.end());
    EXPECT_EQ(rig.engine.getShortTimeBuffer(), expected);
    EXPECT_EQ(rig.record.channelBuffer(), expected);
    for (float start : {128.25f, 256.25f, 384.25f}) {
        rig.run(ramp(512, start, 0.25f));
    }
    EXPECT_EQ(rig.engine.getShortTimeBuffer(), ramp(2048, 0.25f, 0.25f));
}

TEST(Engine, OverlongBlockIsRejectedWithTheWindowUnchanged) {
    StoreRig rig;
    rig.run(ramp(512, 1.0f));
    const std::vector<float> before = rig.engine.getShortTimeBuffer();
    const KorDSPData recordBefore = rig.record;
    EXPECT_THROW(rig.engine.run(std::vector<float>(2049, 1.0f), &rig.record), std::out_of_range);
    EXPECT_EQ(rig.engine.getShortTimeBuffer(), before);
    EXPECT_EQ(rig.record.getFFTOut().magnitudes, recordBefore.getFFTOut().magnitudes);
    rig.run(ramp(2048, 5.0f, 0.25f));
    EXPECT_EQ(rig.engine.getShortTimeBuffer(), ramp(2048, 5.0f, 0.25f));
}

TEST(Engine, EachFeatureLandsInItsOwnField) {
    // The values themselves are checked against their algorithms in
    // tests/dsp/features; this checks which value lands in which field.
    StoreRig rig;
    const auto input = blocks(noise(0.2, 0.5f), 512);
    Algorithm_Spectral_Flux flux; // it needs the previous block's magnitudes
    KorDSPData reference;
    for (const std::vector<float>& block : input) {
        if (&block == &input.back()) {
            flux.transform(rig.record.getFFTOut().magnitudes, &reference);
        }
        rig.run(block);
    }
    const KorFFTOut& fft = rig.record.getFFTOut();
    const float* window = rig.engine.getShortTimeBuffer().data();
    const float* m = fft.magnitudes.data();
    const KorAlgosOut& got = rig.record.getAlgosOut();
    EXPECT_EQ(got.vu, Algorithm_VU::compute(window, 2048));
    EXPECT_EQ(got.rms, Algorithm_RMS::compute(window, 2048));
    EXPECT_EQ(got.centroid, Algorithm_Centroid::compute(m, 1024, 44100.0f));
    EXPECT_EQ(got.hfc, Algorithm_HFC::compute(m, 1024, 44100.0f));
    EXPECT_EQ(got.spectralFlux, flux.compute(m, 1024));
    Algorithm_DominantFrequencies::transform(fft.real, fft.magnitudes, 3, 44100.0f, &reference,
                                             0.0f);
    EXPECT_EQ(got.dominantFrequencies, reference.getAlgosOut().dominantFrequencies);

    // The five named bands, then the tempo tracker's 22 and the display's 35.
    std::vector<Band> bands = {{0, 250}, {250, 1000}, {1000, 4000}, {2000, 4000}, {4000, 22050}};
    std::vector<float> levels = {got.bassVU, got.midVU, got.midHighVU, got.upperMidVU, got.highVU};
    for (const auto* table :
         {&kor::FrequencyBands::logScaleBPMBands, &kor::FrequencyBands::miniLogScaleFFTBands}) {
        bands.insert(bands.end(), table->begin(), table->end());
    }
    ASSERT_EQ(got.logBandedFFTVUs.size(), 22u);
    ASSERT_EQ(got.miniLogBandedFFT.size(), 35u);
    levels.insert(levels.end(), got.logBandedFFTVUs.begin(), got.logBandedFFTVUs.end());
    levels.insert(levels.end(), got.miniLogBandedFFT.begin(), got.miniLogBandedFFT.end());
    for (std::size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(levels[i],
                  Algorithm_VUBP::compute(fft.squaredMagnitudes.data(), 1024, bands[i], 44100.0f))
            << "level " << i;
    }
}

TEST(Engine, RmsIsTheWindowsOwnWhenTheWindowAlsoSlidesOutsideRun) {
    // Blocks of 512 take the carried partial sums; a slide made directly with
    // updateShortTimeBuffer between two runs must not be missed.
    StoreRig rig;
    const auto input = blocks(noise(1.0, 0.5f, 4), 512);
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (i % 7 == 5) {
            rig.engine.updateShortTimeBuffer(input[i - 1]);
        }
        rig.run(input[i]);
        const std::vector<float>& window = rig.engine.getShortTimeBuffer();
        ASSERT_EQ(rig.record.getAlgosOut().rms, Algorithm_RMS::compute(window.data(), 2048))
            << "block " << i;
    }
}

TEST(Engine, SamplesUpToTheLimitEnterUnchangedAndGarbageEntersAsSilence) {
    const float limit = Engine::kSampleLimit;
    const float max = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const std::vector<float> in = {limit,
                                   -limit,
                                   std::nextafter(limit, max),
                                   -std::nextafter(limit, max),
                                   1e30f,
                                   -max,
                                   inf,
                                   -inf,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   tiny,
                                   -0.0f,
                                   0.999f * limit};
    const std::vector<float> expected = {limit, -limit, 0.0f, 0.0f, 0.0f,  0.0f,
                                         0.0f,  0.0f,   0.0f, tiny, -0.0f, 0.999f * limit};
    StoreRig rig;
    rig.run(in);
    const std::vector<float>& window = rig.engine.getShortTimeBuffer();
    const std::vector<float> tail(window.end() - static_cast<std::ptrdiff_t>(in.size()),
                                  window.end());
    ASSERT_EQ(tail.size(), expected.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        EXPECT_EQ(std::memcmp(&tail[i], &expected[i], sizeof(float)), 0) << "sample " << i;
    }
}

TEST(Engine, HostileBlocksLeaveEveryRecordFieldAndHistoryFinite) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float max = std::numeric_limits<float>::max();
    std::vector<float> mixed(512, std::numeric_limits<float>::infinity());
    mixed[7] = nan;
    std::vector<float> alternating = nyquistAlternating(2048);
    for (float& s : alternating) {
        s *= max;
    }
    std::vector<float> atLimit = nyquistAlternating(2048);
    for (std::size_t i = 0; i < atLimit.size(); ++i) {
        atLimit[i] *= (i / 64) % 2 == 0 ? Engine::kSampleLimit : 0.0f;
    }
    const std::vector<std::vector<float>> bursts = {std::vector<float>(512, nan),
                                                    mixed,
                                                    std::vector<float>(2048, 1e30f),
                                                    alternating,
                                                    std::vector<float>(2048, Engine::kSampleLimit),
                                                    atLimit};
    for (std::size_t b = 0; b < bursts.size(); ++b) {
        SCOPED_TRACE("burst " + std::to_string(b));
        StoreRig rig;
        rig.run(bursts[b]);
        rig.run(bursts[b]);
        for (const auto& block : blocks(kickHatPattern(128.0, 0.5), 512)) {
            rig.run(block);
        }
        expectRecordAndHistoriesFinite(rig);
    }
}

TEST(Engine, NullRecordDoesNothingAndAMissingStoreIsRefused) {
    Engine engine;
    engine.run(ramp(512, 1.0f), nullptr);
    EXPECT_EQ(engine.getShortTimeBuffer(), std::vector<float>(2048, 0.0f));
    KorDSPData record;
    EXPECT_THROW(engine.run(ramp(512, 1.0f), &record), std::logic_error);
    EXPECT_EQ(engine.getShortTimeBuffer(), std::vector<float>(2048, 0.0f));
}
