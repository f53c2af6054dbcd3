#include "korvala/dsp/fft/FFTManager.h"
#include "korvala/dsp/fft/FFTWindow.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

using namespace korvala::test;

namespace {
std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

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
