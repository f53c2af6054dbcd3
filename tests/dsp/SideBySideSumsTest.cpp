#include "korvala/dsp/features/Algorithm_Centroid.h"
#include "korvala/dsp/features/Algorithm_HFC.h"
#include "korvala/dsp/features/Algorithm_RMS.h"
#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"
#include "korvala/dsp/features/Algorithm_VU.h"
#include "korvala/dsp/features/Algorithm_VUBP.h"
#include "korvala/dsp/features/BandLevels.h"
#include "korvala/dsp/features/BlockFeatures.h"
#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/record/FrequencyBands.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

using namespace korvala::test;

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::uint32_t bits(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

// Power spectra of 1024 bins: spread over many orders of magnitude (so every
// reordered sum would round differently), silent, and with broken bins.
std::vector<std::vector<float>> spectra() {
    std::vector<float> wide = uniformValues(1024, 0.0f, 1.0f, 7);
    for (std::size_t k = 0; k < wide.size(); ++k) {
        wide[k] *= static_cast<float>(1u << (k % 24));
    }
    std::vector<float> broken = uniformValues(1024, 0.0f, 3.0f, 8);
    broken[5] = kNaN;
    broken[700] = kInf;
    return {wide, std::vector<float>(1024, 0.0f), broken};
}
} // namespace

TEST(BandLevels, EveryLevelIsBitForBitThatOfTheSingleBandAlgorithm) {
    std::vector<Band> bands = {{0, 250},   {4000, 22050},  {0, 22050},  {100, 110},
                               {300, 200}, {22040, 22050}, {1000, 1001}};
    for (const auto* table :
         {&kor::FrequencyBands::logScaleBPMBands, &kor::FrequencyBands::miniLogScaleFFTBands}) {
        bands.insert(bands.end(), table->begin(), table->end());
    }
    BandLevels levels(bands, 1024, 44100.0f);
    ASSERT_EQ(levels.bandCount(), bands.size());
    std::vector<float> out(bands.size(), -1.0f);
    for (const std::vector<float>& power : spectra()) {
        levels.compute(power.data(), out.data());
        for (std::size_t i = 0; i < bands.size(); ++i) {
            const float want = Algorithm_VUBP::compute(power.data(), 1024, bands[i], 44100.0f);
            EXPECT_EQ(bits(out[i]), bits(want)) << "band " << bands[i].low << "-" << bands[i].high;
        }
    }
    // A short spectrum: fewer bands than one side-by-side group, wide bins.
    const std::vector<Band> few = {{0, 5000}, {5000, 22050}, {12000, 12001}};
    BandLevels small(few, 8, 44100.0f);
    const std::vector<float> power = uniformValues(8, 0.0f, 2.0f, 9);
    small.compute(power.data(), out.data());
    for (std::size_t i = 0; i < few.size(); ++i) {
        EXPECT_EQ(bits(out[i]), bits(Algorithm_VUBP::compute(power.data(), 8, few[i], 44100.0f)));
    }
}

TEST(BandLevels, PackedBandsOfEveryMixOfLengthsMatchTheSingleBandAlgorithm) {
    // Lists where many bands end on the same step, in the middle of a group
    // of four bins, or leave lanes idle: 1 to 60 bands of 0 to ~250 bins.
    const std::vector<float> edges = uniformValues(600, 0.0f, 1.0f, 31);
    std::size_t e = 0;
    for (std::size_t count : {1u, 2u, 5u, 9u, 23u, 60u}) {
        std::vector<Band> bands;
        for (std::size_t i = 0; i < count; ++i) {
            const int low = static_cast<int>(edges[e++] * 17000.0f);
            const int width = i % 3 == 0 ? 64 : static_cast<int>(edges[e++] * 5000.0f);
            bands.push_back({low, low + width});
        }
        BandLevels levels(bands, 1024, 44100.0f);
        std::vector<float> out(bands.size());
        for (const std::vector<float>& power : spectra()) {
            levels.compute(power.data(), out.data());
            for (std::size_t i = 0; i < bands.size(); ++i) {
                const float want = Algorithm_VUBP::compute(power.data(), 1024, bands[i], 44100.0f);
                ASSERT_EQ(bits(out[i]), bits(want))
                    << count << " bands, " << bands[i].low << "-" << bands[i].high;
            }
        }
    }
}

TEST(BandLevels, BandsOutsideTheSpectrumAreRefusedWhenPlanned) {
    for (const Band band : {Band{-30, 100}, Band{0, 30000}, Band{0, 22040}, Band{22050, 22060}}) {
        const std::vector<float> power(1024, 1.0f);
        EXPECT_THROW(Algorithm_VUBP::compute(power.data(), 1024, band, 44100.0f),
                     std::out_of_range);
        EXPECT_THROW(BandLevels({{0, 250}, band}, 1024, 44100.0f), std::out_of_range)
            << band.low << "-" << band.high;
    }
}

TEST(BlockFeatures, EveryValueIsBitForBitThatOfItsOwnAlgorithmBlockAfterBlock) {
    // Blocks of 2048 samples with their 1024 magnitudes: music-like, all
    // negative (the peak stays +0), and broken samples at either end.
    std::vector<std::vector<float>> windows = {noise(2048.0 / 44100.0, 0.5f, 3),
                                               uniformValues(2048, -2.0f, -0.5f, 4),
                                               uniformValues(2048, -1.0f, 1.0f, 5)};
    windows[2][0] = kInf;
    windows[2][2047] = kNaN;
    windows[2][2046] = 5.0f; // the largest finite sample, past the vector part
    windows.push_back(std::vector<float>(2048, -0.0f));

    BlockFeatures features(1024, 44100.0f);
    Algorithm_Spectral_Flux flux;
    for (std::size_t b = 0; b < windows.size() * 2; ++b) {
        const std::vector<float>& samples = windows[b % windows.size()];
        std::vector<float> magnitudes = uniformValues(1024, 0.0f, 4.0f, 20 + b);
        for (std::size_t k = 0; k < magnitudes.size(); ++k) {
            magnitudes[k] *= static_cast<float>(1u << (k % 16));
        }
        const BlockFeatures::Values got = features.compute(samples.data(), magnitudes.data());
        EXPECT_EQ(bits(got.vu), bits(Algorithm_VU::compute(samples.data(), 2048))) << b;
        EXPECT_EQ(bits(got.rms), bits(Algorithm_RMS::compute(samples.data(), 2048))) << b;
        EXPECT_EQ(bits(got.centroid),
                  bits(Algorithm_Centroid::compute(magnitudes.data(), 1024, 44100.0f)))
            << b;
        EXPECT_EQ(bits(got.hfc), bits(Algorithm_HFC::compute(magnitudes.data(), 1024, 44100.0f)))
            << b;
        EXPECT_EQ(bits(got.spectralFlux), bits(flux.compute(magnitudes.data(), 1024))) << b;
    }
    EXPECT_EQ(bits(BlockFeatures(1024, 44100.0f)
                       .compute(windows[0].data(), windows[0].data())
                       .spectralFlux),
              0u);
}

TEST(BlockFeatures, SpectraOfAnyLengthMatchTheSingleAlgorithmsBinForBin) {
    // Bin counts below, at and past whole groups of four bins, so the last
    // bins take the one-at-a-time path after the side-by-side one.
    for (std::size_t bins : {1u, 3u, 4u, 7u, 13u, 64u, 1023u}) {
        BlockFeatures features(bins, 44100.0f);
        Algorithm_Spectral_Flux flux;
        for (unsigned block = 0; block < 3; ++block) {
            const std::vector<float> samples =
                uniformValues(2 * bins, -1.0f, 1.0f, static_cast<unsigned>(bins) + block);
            std::vector<float> magnitudes = uniformValues(bins, 0.0f, 3.0f, 90 + block);
            magnitudes[bins - 1] *= 1e6f; // the last bin dominates every sum it enters
            const BlockFeatures::Values got = features.compute(samples.data(), magnitudes.data());
            const auto n = static_cast<int>(bins);
            EXPECT_EQ(bits(got.rms), bits(Algorithm_RMS::compute(samples.data(), 2 * bins)));
            EXPECT_EQ(bits(got.centroid),
                      bits(Algorithm_Centroid::compute(magnitudes.data(), bins, 44100.0f)))
                << n;
            EXPECT_EQ(bits(got.hfc),
                      bits(Algorithm_HFC::compute(magnitudes.data(), bins, 44100.0f)))
                << n;
            EXPECT_EQ(bits(got.spectralFlux), bits(flux.compute(magnitudes.data(), bins)))
                << n << " block " << block;
        }
    }
}

TEST(BlockFeatures, ASlidingWindowsRmsIsTheWholeWindowsSumWhateverTheHops) {
    // A window slides through a stream by hops of 512 (the carried partial
    // sums), of other sizes (which drop them until three hops have passed
    // again), and by nothing (the window stands still). Loud, quiet and
    // non-finite stretches make sums that differ in the last bit between
    // orders of addition.
    std::vector<float> stream = noise(3.0, 0.8f, 9);
    for (std::size_t i = 20000; i < 24000; ++i) {
        stream[i] *= 1e-6f;
    }
    stream[40000] = kInf;
    stream[47000] = kNaN;
    BlockFeatures features(1024, 44100.0f);
    std::vector<float> window(2048, 0.0f);
    const std::vector<float> magnitudes = uniformValues(1024, 0.0f, 1.0f, 2);
    const std::size_t hops[] = {512, 512, 512, 512, 512,  0,   512, 300, 512, 512,
                                512, 512, 0,   0,   2048, 512, 512, 512, 512, 1};
    std::size_t at = 0;
    for (std::size_t step = 0; step < 130; ++step) {
        const std::size_t n = hops[step % std::size(hops)];
        std::copy(window.begin() + static_cast<std::ptrdiff_t>(n), window.end(), window.begin());
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(at),
                  stream.begin() + static_cast<std::ptrdiff_t>(at + n),
                  window.end() - static_cast<std::ptrdiff_t>(n));
        at += n;
        const float rms = features.compute(window.data(), magnitudes.data(), n).rms;
        ASSERT_EQ(bits(rms), bits(Algorithm_RMS::compute(window.data(), 2048)))
            << "step " << step << " hop " << n;
    }
    ASSERT_GT(at, 48000u);
}

TEST(BlockFeatures, BandSumsRunInTheSamePassGiveTheSameValues) {
    // Run together, the features and the band levels are those of separate
    // runs; the band schedule is longer than the spectrum's pass with the
    // engine's bands and shorter with a single band.
    std::vector<Band> engineBands = {
        {0, 250}, {250, 1000}, {1000, 4000}, {2000, 4000}, {4000, 22050}};
    for (const auto* table :
         {&kor::FrequencyBands::logScaleBPMBands, &kor::FrequencyBands::miniLogScaleFFTBands}) {
        engineBands.insert(engineBands.end(), table->begin(), table->end());
    }
    std::vector<Band> oneBand = {{100, 300}};
    for (const std::vector<Band>* bandList : {&engineBands, &oneBand}) {
        BandLevels together(*bandList, 1024, 44100.0f);
        BandLevels apart(*bandList, 1024, 44100.0f);
        BlockFeatures fused(1024, 44100.0f);
        Algorithm_Spectral_Flux flux;
        std::vector<float> got(bandList->size());
        std::vector<float> want(bandList->size());
        unsigned seed = 30;
        for (const std::vector<float>& power : spectra()) {
            const std::vector<float> samples = uniformValues(2048, -1.0f, 1.0f, ++seed);
            const BlockFeatures::Values a =
                fused.compute(samples.data(), power.data(), 2048, &together, power.data());
            together.levelsFromSums(power.data(), got.data());
            apart.compute(power.data(), want.data());
            for (std::size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(bits(got[i]), bits(want[i])) << "band " << i;
            }
            const float* m = power.data();
            EXPECT_EQ(bits(a.rms), bits(Algorithm_RMS::compute(samples.data(), 2048)));
            EXPECT_EQ(bits(a.centroid), bits(Algorithm_Centroid::compute(m, 1024, 44100.0f)));
            EXPECT_EQ(bits(a.hfc), bits(Algorithm_HFC::compute(m, 1024, 44100.0f)));
            EXPECT_EQ(bits(a.spectralFlux), bits(flux.compute(m, 1024)));
        }
    }
}

TEST(FFTManager, PhasesOfEveryStageSizeAreWithinOneUlpOfTheExactAngle) {
    // Sizes whose bin counts leave 0 to 7 bins after the last full vector.
    for (unsigned int n : {2u, 4u, 8u, 16u, 32u, 64u, 2048u}) {
        FFTManager fft(n);
        std::vector<float> samples = uniformValues(n, -1.0f, 1.0f, n);
        fft.processSamples(samples.data());
        for (std::size_t k = 0; k < n / 2; ++k) {
            const auto exact = static_cast<float>(std::atan2(
                static_cast<double>(fft.imagData()[k]), static_cast<double>(fft.realData()[k])));
            EXPECT_LE(std::fabs(fft.phaseData()[k] - exact),
                      std::nextafter(std::fabs(exact), 4.0f) - std::fabs(exact))
                << "n " << n << " bin " << k;
        }
    }
}

TEST(FFTManager, VectorsKeepTheLastTransformWhateverRunsAfterIt) {
    FFTManager fft(2048);
    KorDSPData record;
    const std::vector<float> first = noise(2048.0 / 44100.0, 0.5f, 11);
    const std::vector<float> second = sine(1000.0, 2048.0 / 44100.0);
    fft.transform(first, &record);
    fft.transform(second, &record);
    const KorFFTOut want = record.getFFTOut();
    // Other analyses overwrite the bin arrays before the vectors are first read.
    std::vector<float> scratch = first;
    fft.processSamples(scratch.data());
    fft.analyse(first.data(), false);
    EXPECT_EQ(fft.getReal(), want.real);
    EXPECT_EQ(fft.getImag(), want.imag);
    EXPECT_EQ(fft.getMagnitudes(), want.magnitudes);
    EXPECT_EQ(fft.getSquaredMagnitudes(), want.squaredMagnitudes);
    EXPECT_EQ(fft.getPhases(), want.phases);
    EXPECT_EQ(fft.getImag()[0], 0.0f);
    EXPECT_TRUE(std::signbit(fft.getImag()[0])); // zeroed, then conjugated
    // A transform without a record refreshes them as well.
    fft.transform(first, nullptr);
    EXPECT_NE(fft.getMagnitudes(), want.magnitudes);
    EXPECT_EQ(fft.getFFTData(scratch.data()).magnitudes.size(), 1024u);
    EXPECT_NE(fft.getMagnitudes(), want.magnitudes);
}

TEST(FFTManager, LargestMagnitudeIsTheRootOfTheLargestPower) {
    // The tempo tracker takes its peak magnitude as the root of its peak power.
    FFTManager fft(1024);
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::vector<float> row = uniformValues(1024, 0.0f, 1.0f, seed);
        if (seed % 2 == 0) {
            row = levelCurve(static_cast<double>(seed), 1024, 0.9);
        }
        fft.analyse(row.data(), false);
        float peakPower = 0.0f;
        float peakMagnitude = 0.0f;
        for (std::size_t k = 0; k < 512; ++k) {
            peakPower = std::max(peakPower, fft.powerData()[k]);
            peakMagnitude = std::max(peakMagnitude, fft.magnitudeData()[k]);
        }
        EXPECT_EQ(bits(std::sqrt(peakPower)), bits(peakMagnitude)) << "seed " << seed;
    }
}

TEST(FFTManager, PowerOnlyAnalysisGivesTheSameSpectrumAndLeavesMagnitudesAlone) {
    FFTManager full(1024);
    FFTManager lean(1024);
    const std::vector<float> first = levelCurve(37.0, 1024, 0.8);
    lean.analyse(first.data(), false);
    const std::vector<float> oldMagnitudes(lean.magnitudeData(), lean.magnitudeData() + 512);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::vector<float> row = uniformValues(1024, -1.0f, 1.0f, seed);
        full.analyse(row.data(), false);
        lean.analysePower(row.data());
        for (std::size_t k = 0; k < 512; ++k) {
            ASSERT_EQ(bits(lean.powerData()[k]), bits(full.powerData()[k])) << k;
            ASSERT_EQ(bits(lean.realData()[k]), bits(full.realData()[k])) << k;
            ASSERT_EQ(bits(lean.imagData()[k]), bits(full.imagData()[k])) << k;
            ASSERT_EQ(bits(lean.magnitudeData()[k]), bits(oldMagnitudes[k])) << k;
        }
    }
}

TEST(FFTManager, PhasesOnRequestAreTheEagerStagesBitForBit) {
    FFTManager eager(2048);
    FFTManager lazy(2048);
    lazy.setPhasesOnRequest(true);
    KorDSPData eagerRecord;
    KorDSPData lazyRecord;
    lazyRecord.getFFTOut().phases.assign(3, 7.0f);
    const std::vector<float> a = noise(2048.0 / 44100.0, 0.5f, 3);
    const std::vector<float> b = sine(440.0, 2048.0 / 44100.0);
    for (const std::vector<float>* input : {&a, &b}) {
        eager.transform(*input, &eagerRecord);
        lazy.transform(*input, &lazyRecord);
        ASSERT_EQ(std::memcmp(lazy.phaseData(), eager.phaseData(), 1024 * sizeof(float)), 0);
    }
    // The record's phases are left for the owner to fill.
    EXPECT_EQ(lazyRecord.getFFTOut().phases, std::vector<float>(3, 7.0f));
    EXPECT_EQ(lazyRecord.getFFTOut().real, eagerRecord.getFFTOut().real);

    // Phases still pending when another analysis overwrites the bin arrays
    // are those of the transform, and a transform never read is replaced.
    eager.transform(a, &eagerRecord);
    lazy.transform(b, &lazyRecord);
    lazy.transform(a, &lazyRecord);
    lazy.analysePower(b.data());
    EXPECT_EQ(lazy.getPhases(), eager.getPhases());
    lazy.transform(b, &lazyRecord);
    std::vector<float> scratch = b;
    lazy.processSamples(scratch.data());
    std::vector<float> want(1024);
    FFTManager::computePhases(lazy.realData(), lazy.imagData(), want.data(), 1024);
    EXPECT_EQ(std::memcmp(lazy.phaseData(), want.data(), 1024 * sizeof(float)), 0);
}
