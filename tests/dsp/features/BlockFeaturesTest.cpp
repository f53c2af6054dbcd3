#include "korvala/dsp/features/BlockFeatures.h"
#include "korvala/dsp/features/Algorithm_Centroid.h"
#include "korvala/dsp/features/Algorithm_HFC.h"
#include "korvala/dsp/features/Algorithm_RMS.h"
#include "korvala/dsp/features/Algorithm_Spectral_Flux.h"
#include "korvala/dsp/features/Algorithm_VU.h"
#include "korvala/dsp/features/BandLevels.h"
#include "korvala/record/FrequencyBands.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

using namespace korvala::test;

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
} // namespace

namespace {
// Every value of one block is bit for bit that of its own algorithm.
void expectTheAlgorithms(BlockFeatures& features, Algorithm_Spectral_Flux& flux,
                         const std::vector<float>& samples, const std::vector<float>& magnitudes) {
    const std::size_t n = magnitudes.size();
    const float* m = magnitudes.data();
    const BlockFeatures::Values got = features.compute(samples.data(), m);
    EXPECT_EQ(bitsOf(got.vu), bitsOf(Algorithm_VU::compute(samples.data(), samples.size())));
    EXPECT_EQ(bitsOf(got.rms), bitsOf(Algorithm_RMS::compute(samples.data(), samples.size())));
    EXPECT_EQ(bitsOf(got.centroid), bitsOf(Algorithm_Centroid::compute(m, n, 44100.0f)));
    EXPECT_EQ(bitsOf(got.hfc), bitsOf(Algorithm_HFC::compute(m, n, 44100.0f)));
    EXPECT_EQ(bitsOf(got.spectralFlux), bitsOf(flux.compute(m, n)));
}
} // namespace

TEST(BlockFeatures, EveryValueIsBitForBitThatOfItsOwnAlgorithmBlockAfterBlockAtAnyLength) {
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
        SCOPED_TRACE("block " + std::to_string(b));
        std::vector<float> magnitudes = uniformValues(1024, 0.0f, 4.0f, 20 + b);
        for (std::size_t k = 0; k < magnitudes.size(); ++k) {
            magnitudes[k] *= static_cast<float>(1u << (k % 16));
        }
        expectTheAlgorithms(features, flux, windows[b % windows.size()], magnitudes);
    }
    EXPECT_EQ(bitsOf(BlockFeatures(1024, 44100.0f)
                         .compute(windows[0].data(), windows[0].data())
                         .spectralFlux),
              0u);

    // Bin counts below, at and past whole groups of four bins, so the last
    // bins take the one-at-a-time path after the side-by-side one.
    for (std::size_t bins : {1u, 3u, 4u, 7u, 13u, 64u, 1023u}) {
        BlockFeatures sized(bins, 44100.0f);
        Algorithm_Spectral_Flux sizedFlux;
        for (unsigned block = 0; block < 3; ++block) {
            SCOPED_TRACE(std::to_string(bins) + " bins, block " + std::to_string(block));
            std::vector<float> magnitudes = uniformValues(bins, 0.0f, 3.0f, 90 + block);
            magnitudes[bins - 1] *= 1e6f; // the last bin dominates every sum it enters
            expectTheAlgorithms(
                sized, sizedFlux,
                uniformValues(2 * bins, -1.0f, 1.0f, static_cast<unsigned>(bins) + block),
                magnitudes);
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
        ASSERT_EQ(bitsOf(rms), bitsOf(Algorithm_RMS::compute(window.data(), 2048)))
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
        for (const std::vector<float>& power : awkwardSpectra()) {
            const std::vector<float> samples = uniformValues(2048, -1.0f, 1.0f, ++seed);
            const BlockFeatures::Values a =
                fused.compute(samples.data(), power.data(), 2048, &together, power.data());
            together.levelsFromSums(power.data(), got.data());
            apart.compute(power.data(), want.data());
            for (std::size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(bitsOf(got[i]), bitsOf(want[i])) << "band " << i;
            }
            const float* m = power.data();
            EXPECT_EQ(bitsOf(a.rms), bitsOf(Algorithm_RMS::compute(samples.data(), 2048)));
            EXPECT_EQ(bitsOf(a.centroid), bitsOf(Algorithm_Centroid::compute(m, 1024, 44100.0f)));
            EXPECT_EQ(bitsOf(a.hfc), bitsOf(Algorithm_HFC::compute(m, 1024, 44100.0f)));
            EXPECT_EQ(bitsOf(a.spectralFlux), bitsOf(flux.compute(m, 1024)));
        }
    }
}
