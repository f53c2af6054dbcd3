#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/dsp/fft/FFTWindow.h"
#include "korvala/dsp/fft/SpectrumStage.h"
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

// One run of the stage, in the record's layout (phases left empty).
KorFFTOut spectrumOf(SpectrumStage& stage, const std::vector<float>& samples, bool magnitudes) {
    KorFFTOut out;
    for (std::vector<float>* v : {&out.real, &out.imag, &out.magnitudes, &out.squaredMagnitudes}) {
        v->assign(stage.bins(), -1.0f);
    }
    stage.run(samples.data(), out.real.data(), out.imag.data(), out.squaredMagnitudes.data(),
              magnitudes ? out.magnitudes.data() : nullptr);
    return out;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
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
        EXPECT_NEAR(fft.vectors().magnitudes[k], 22.627417f, 2e-4f) << "bin " << k;
        EXPECT_NEAR(fft.vectors().squaredMagnitudes[k], 512.0f, 1e-2f) << "bin " << k;
        EXPECT_NEAR(fft.vectors().magnitudes[k == 1 ? 2 : 1], 0.0f, 1e-3f);
    }
}

TEST(FFTManager, PhasesAreThoseOfTheConjugatedSpectrum) {
    FFTManager fft(2048);
    fft.setFilter(WindowingFunction::None);
    KorDSPData record;
    fft.transform(binCosine(37, 2048), &record);
    EXPECT_NEAR(fft.vectors().phases[37], 0.0f, 1e-4f);
    fft.transform(binSine(37, 2048), &record);
    EXPECT_NEAR(fft.vectors().phases[37], kPi / 2.0f, 1e-4f);
    EXPECT_GT(fft.vectors().imag[37], 0.0f);
}

TEST(FFTManager, NyquistInputGivesAnEmptySpectrum) {
    FFTManager fft(2048);
    fft.setFilter(WindowingFunction::None);
    KorDSPData record;
    fft.transform(nyquistAlternating(2048), &record);
    for (float m : fft.vectors().magnitudes) {
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
        EXPECT_NEAR(fft.vectors().real[0], std::sqrt(static_cast<float>(n)), 1e-3f);
        EXPECT_EQ(bitsOf(fft.vectors().imag[0]), 0x80000000u); // zeroed, then conjugated: −0
        EXPECT_NEAR(fft.vectors().magnitudes[1], 0.0f, 1e-3f);
    }
    FFTManager windowed(2048);
    KorDSPData record;
    windowed.transform(std::vector<float>(2048, 0.25f), &record);
    EXPECT_EQ(windowed.vectors().imag[0], 0.0f);
    EXPECT_NEAR(windowed.vectors().magnitudes[10], 0.0f, 1e-4f);
}

TEST(FFTManager, TransformFillsTheRecordAndKeepsTheUnwindowedSamples) {
    FFTManager fft(2048);
    KorDSPData record;
    const std::vector<float> input = noise(2048.0 / kSampleRate, 0.5f);
    ASSERT_EQ(input.size(), 2048u);
    fft.transform(input, &record);
    EXPECT_EQ(record.channelBuffer(), input);
    const KorFFTOut& out = record.getFFTOut();
    EXPECT_EQ(out.real, fft.vectors().real);
    EXPECT_EQ(out.imag, fft.vectors().imag);
    EXPECT_EQ(out.magnitudes, fft.vectors().magnitudes);
    EXPECT_EQ(out.squaredMagnitudes, fft.vectors().squaredMagnitudes);
    EXPECT_EQ(out.phases, fft.vectors().phases);
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
    // getFFTData on the same samples gives the same spectrum and leaves them
    // windowed; the member vectors keep the transform's until populateVectors.
    std::vector<float> copy = input;
    EXPECT_EQ(fft.getFFTData(copy.data()).magnitudes, out.magnitudes);
    EXPECT_EQ(copy[700],
              input[700] * FFTWindow(2048, WindowingFunction::Blackman).coefficients()[700]);
    fft.processSamples(copy.data());
    EXPECT_NE(fft.binArrays().magnitudes, out.magnitudes);
    EXPECT_EQ(fft.vectors().magnitudes, out.magnitudes);
    EXPECT_THROW(fft.transform(std::vector<float>(2047, 0.0f), &record), std::invalid_argument);
}

TEST(SpectrumStage, PhasesOfAnyBinCountAreWithinOneUlpOfTheExactAngle) {
    // Every count of bins left after the last full vector of four or eight.
    for (std::size_t n = 1; n <= 17; ++n) {
        const std::vector<float> re = uniformValues(n, -1.0f, 1.0f, static_cast<unsigned>(n));
        const std::vector<float> im = uniformValues(n, -1.0f, 1.0f, static_cast<unsigned>(n + 50));
        std::vector<float> phases(n);
        SpectrumStage::phases(re.data(), im.data(), phases.data(), n);
        for (std::size_t k = 0; k < n; ++k) {
            const auto exact = static_cast<float>(
                std::atan2(static_cast<double>(im[k]), static_cast<double>(re[k])));
            EXPECT_LE(std::fabs(phases[k] - exact),
                      std::nextafter(std::fabs(exact), 4.0f) - std::fabs(exact))
                << "n " << n << " bin " << k;
        }
    }
}

TEST(SpectrumStage, LargestMagnitudeIsTheRootOfTheLargestPower) {
    // The tempo tracker takes its peak magnitude as the root of its peak power.
    SpectrumStage stage(1024);
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::vector<float> row = seed % 2 == 0
                                           ? levelCurve(static_cast<double>(seed), 1024, 0.9)
                                           : uniformValues(1024, 0.0f, 1.0f, seed);
        const KorFFTOut bins = spectrumOf(stage, row, true);
        const auto& power = bins.squaredMagnitudes;
        EXPECT_EQ(bitsOf(std::sqrt(*std::max_element(power.begin(), power.end()))),
                  bitsOf(*std::max_element(bins.magnitudes.begin(), bins.magnitudes.end())))
            << "seed " << seed;
    }
}

TEST(SpectrumStage, SkippingMagnitudesLeavesTheRestBitForBit) {
    SpectrumStage stage(1024);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::vector<float> row = uniformValues(1024, -1.0f, 1.0f, seed);
        const KorFFTOut full = spectrumOf(stage, row, true);
        const KorFFTOut lean = spectrumOf(stage, row, false);
        EXPECT_TRUE(sameBits(lean.real, full.real) && sameBits(lean.imag, full.imag) &&
                    sameBits(lean.squaredMagnitudes, full.squaredMagnitudes));
        EXPECT_EQ(lean.magnitudes, std::vector<float>(512, -1.0f));
    }
}
