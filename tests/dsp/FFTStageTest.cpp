#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/dsp/fft/FFTWindow.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

using namespace korvala::test;

namespace {
constexpr float kPi = 3.14159265f;
} // namespace

TEST(FFTWindow, BlackmanCoefficientsCarryTheRaisedConstantTerm) {
    FFTWindow window(2048, WindowingFunction::Blackman);
    // Bits of the coefficients formed in single precision from the float π and
    // the constant 0x3ED70A3E; the float nearest 0.42 or a double-precision
    // formula gives different bits at every one of these indices but 1023.
    const struct {
        int index;
        std::uint32_t bits;
    } table[] = {{0, 0x32800000u},   {1, 0x35680000u},    {2, 0x36640000u},
                 {512, 0x3EAE46CAu}, {1023, 0x3F7FFFF0u}, {2047, 0x32800000u}};
    for (const auto& row : table) {
        EXPECT_EQ(bitsOf(window.coefficients()[row.index]), row.bits) << "index " << row.index;
    }
}

TEST(FFTWindow, HammingFormsItsSumInDoublePrecision) {
    FFTWindow window(2048, WindowingFunction::Hamming);
    // 0.54 − 0.46 in double rounds to 0x3DA3D70A; in float it would be 0x3DA3D70C.
    EXPECT_EQ(bitsOf(window.coefficients()[0]), 0x3DA3D70Au);
    EXPECT_EQ(bitsOf(window.coefficients()[1]), 0x3DA3D82Du);
}

TEST(FFTWindow, EveryWindowHasItsShapeAtTheEdgesAndCentre) {
    const struct {
        WindowingFunction type;
        float edge;
        float centre;
    } table[] = {
        {WindowingFunction::None, 1.0f, 1.0f},     {WindowingFunction::Welch, 0.0f, 1.0f},
        {WindowingFunction::Hanning, 0.0f, 1.0f},  {WindowingFunction::Hamming, 0.08f, 1.0f},
        {WindowingFunction::Blackman, 0.0f, 1.0f}, {WindowingFunction::Nuttal, 0.0f, 1.0f}};
    for (const auto& row : table) {
        FFTWindow window(2048, row.type);
        EXPECT_NEAR(window.coefficients()[0], row.edge, 1e-6f);
        EXPECT_NEAR(window.coefficients()[2047], row.edge, 1e-6f);
        EXPECT_NEAR(window.coefficients()[1023], row.centre, 2e-6f);
    }
}

TEST(FFTWindow, BadTypePrintsTheDiagnosticAndKeepsTheCoefficients) {
    FFTWindow window(16, WindowingFunction::Hanning);
    const std::vector<float> before(window.coefficients(), window.coefficients() + 16);
    std::wostringstream captured;
    std::wstreambuf* saved = std::wcerr.rdbuf(captured.rdbuf());
    window.set_windowing_function(static_cast<WindowingFunction>(6));
    std::wcerr.rdbuf(saved);
    EXPECT_EQ(captured.str(), L"set_windowing_function bad windowingFunction Found");
    EXPECT_EQ(std::vector<float>(window.coefficients(), window.coefficients() + 16), before);
}

TEST(FFTManager, UnitSineOnABinHasMagnitudeSqrtNOverTwo) {
    FFTManager fft(2048);
    fft.setFilter(WindowingFunction::None);
    KorDSPData record;
    for (std::size_t k : {1u, 100u, 511u, 1023u}) {
        fft.transform(binSine(k, 2048), &record);
        EXPECT_NEAR(fft.getMagnitudes()[k], 22.627417f, 2e-4f) << "bin " << k;
        EXPECT_NEAR(fft.getSquaredMagnitudes()[k], 512.0f, 1e-2f) << "bin " << k;
        EXPECT_NEAR(fft.getMagnitudes()[k == 1 ? 2 : 1], 0.0f, 1e-3f);
    }
}

TEST(FFTManager, PhasesAreThoseOfTheConjugatedSpectrum) {
    FFTManager fft(2048);
    fft.setFilter(WindowingFunction::None);
    KorDSPData record;
    fft.transform(binCosine(37, 2048), &record);
    EXPECT_NEAR(fft.getPhases()[37], 0.0f, 1e-4f);
    fft.transform(binSine(37, 2048), &record);
    EXPECT_NEAR(fft.getPhases()[37], kPi / 2.0f, 1e-4f);
    EXPECT_GT(fft.getImag()[37], 0.0f);
}

TEST(FFTManager, NyquistInputGivesAnEmptySpectrum) {
    FFTManager fft(2048);
    fft.setFilter(WindowingFunction::None);
    KorDSPData record;
    fft.transform(nyquistAlternating(2048), &record);
    for (float m : fft.getMagnitudes()) {
        ASSERT_NEAR(m, 0.0f, 1e-3f);
    }
}

TEST(FFTManager, ConstantInputLandsInBinZeroWithNoImaginaryPart) {
    for (unsigned n : {1024u, 2048u}) {
        FFTManager fft(n);
        fft.setFilter(WindowingFunction::None);
        KorDSPData record;
        fft.transform(std::vector<float>(n, 1.0f), &record);
        // DC of N ones is N; divided by sqrt(N) it is sqrt(N) (32 exactly for 1024).
        EXPECT_NEAR(fft.getReal()[0], std::sqrt(static_cast<float>(n)), 1e-3f);
        EXPECT_EQ(fft.getImag()[0], 0.0f);
        EXPECT_NEAR(fft.getMagnitudes()[1], 0.0f, 1e-3f);
    }
    FFTManager windowed(2048);
    KorDSPData record;
    windowed.transform(std::vector<float>(2048, 0.25f), &record);
    EXPECT_EQ(windowed.getImag()[0], 0.0f);
    EXPECT_NEAR(windowed.getMagnitudes()[10], 0.0f, 1e-4f);
}

TEST(FFTManager, TransformFillsTheRecordAndKeepsTheUnwindowedSamples) {
    FFTManager fft(2048);
    KorDSPData record;
    const std::vector<float> input = noise(2048.0 / kSampleRate, 0.5f);
    ASSERT_EQ(input.size(), 2048u);
    fft.transform(input, &record);
    EXPECT_EQ(record.channelBuffer(), input);
    const KorFFTOut& out = record.getFFTOut();
    EXPECT_EQ(out.real, fft.getReal());
    EXPECT_EQ(out.imag, fft.getImag());
    EXPECT_EQ(out.magnitudes, fft.getMagnitudes());
    EXPECT_EQ(out.squaredMagnitudes, fft.getSquaredMagnitudes());
    EXPECT_EQ(out.phases, fft.getPhases());
    ASSERT_EQ(out.phases.size(), 1024u);
    for (std::size_t k = 0; k < 1024; ++k) {
        ASSERT_EQ(out.squaredMagnitudes[k], out.real[k] * out.real[k] + out.imag[k] * out.imag[k]);
        // Phases are accurate to 1 ulp, not necessarily the C library's bits.
        const auto exact = static_cast<float>(
            std::atan2(static_cast<double>(out.imag[k]), static_cast<double>(out.real[k])));
        ASSERT_LE(std::fabs(out.phases[k] - exact),
                  std::nextafter(std::fabs(exact), 4.0f) - std::fabs(exact))
            << "bin " << k;
    }
    // getFFTData on the same samples gives the same spectrum.
    std::vector<float> copy = input;
    const KorFFTOut direct = fft.getFFTData(copy.data());
    EXPECT_EQ(direct.magnitudes, out.magnitudes);
    EXPECT_THROW(fft.transform(std::vector<float>(2047, 0.0f), &record), std::invalid_argument);
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
        EXPECT_EQ(bitsOf(std::sqrt(peakPower)), bitsOf(peakMagnitude)) << "seed " << seed;
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
            ASSERT_EQ(bitsOf(lean.powerData()[k]), bitsOf(full.powerData()[k])) << k;
            ASSERT_EQ(bitsOf(lean.realData()[k]), bitsOf(full.realData()[k])) << k;
            ASSERT_EQ(bitsOf(lean.imagData()[k]), bitsOf(full.imagData()[k])) << k;
            ASSERT_EQ(bitsOf(lean.magnitudeData()[k]), bitsOf(oldMagnitudes[k])) << k;
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
