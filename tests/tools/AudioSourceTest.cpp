#include "tests/support/Signals.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/output/AudioFileWriter.h"
#include "tools/korvala/sources/RawStreamSource.h"
#include "tools/korvala/sources/Resampler.h"
#include "tools/korvala/sources/SampleConversion.h"
#include "tools/korvala/sources/SndfileSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace korvala::cli;
namespace fs = std::filesystem;

namespace {
std::string tempPath(const std::string& name) {
    return (fs::path(::testing::TempDir()) / ("korvala_tools_" + name)).string();
}

std::vector<float> readAll(AudioSource& source) {
    std::vector<float> out;
    float chunk[1000];
    while (const std::size_t n = source.read(chunk, 1000)) {
        out.insert(out.end(), chunk, chunk + n);
    }
    return out;
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const InputError& e) {
        return e.what();
    }
    return "(no InputError)";
}
} // namespace

TEST(SampleConversion, DownmixSumsChannelsInOrderInFloatThenDividesInFloat) {
    // Summed first to last in float: (1e8 + 1) − 1e8 = 0, not the 1/3 another order gives.
    const float frames[] = {1e8f, 1.0f, -1e8f, 0.01f, 0.6f, 0.7f};
    float mono[2];
    korvala::cli::downmixToMono(frames, 2, 3, mono);
    EXPECT_EQ(mono[0], 0.0f);
    EXPECT_EQ(mono[1], ((0.01f + 0.6f) + 0.7f) / 3.0f);
    EXPECT_NE(mono[1], static_cast<float>((double(0.01f) + 0.6f + 0.7f) / 3.0));

    const float single[] = {0.25f, -1.0f, 7.0f};
    float copy[3];
    korvala::cli::downmixToMono(single, 3, 1, copy);
    EXPECT_EQ(0, std::memcmp(single, copy, sizeof(copy)));
}

TEST(SampleConversion, DecodesLittleEndianFloatsBitForBit) {
    const unsigned char bytes[] = {0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0xc0,
                                   0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc0, 0x7f};
    float out[4];
    korvala::cli::decodeFloat32LE(bytes, 4, out);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], -2.0f);
    EXPECT_EQ(out[2], std::numeric_limits<float>::denorm_min());
    EXPECT_TRUE(std::isnan(out[3]));
}

TEST(Resampler, ConvertsA48kHzSineTo44100HzKeepingPitchLengthAndLevel) {
    const std::vector<float> in = korvala::test::sineAtRate(48000.0, 1000.0, 2.0, 0.5f);
    Resampler resampler(48000.0);
    std::vector<float> out;
    for (std::size_t i = 0; i < in.size(); i += 777) {
        resampler.push(in.data() + i, std::min<std::size_t>(777, in.size() - i), out);
    }
    resampler.finish(out);
    EXPECT_NEAR(static_cast<double>(out.size()), 88200.0, 2.0);
    // Away from the edges: 1000 Hz (2 zero crossings per cycle) at amplitude 0.5.
    int crossings = 0;
    float peak = 0.0f;
    for (std::size_t i = 22050; i < 66150; ++i) {
        crossings += (out[i - 1] < 0.0f) != (out[i] < 0.0f);
        peak = std::max(peak, std::fabs(out[i]));
    }
    EXPECT_NEAR(crossings, 2000, 2);
    EXPECT_NEAR(peak, 0.5f, 0.005f);
}

TEST(SndfileSource, ScalesPcm16ByFullScaleAndAveragesChannels) {
    const std::string path = tempPath("pcm16_stereo.wav");
    // Stereo frames (L, R): exact 16-bit steps, so the read-back is exact.
    const std::vector<float> frames = {0.5f, -0.5f, 1.0f / 32768.0f, 3.0f / 32768.0f, -1.0f, 0.25f};
    writeAudioFile(path, frames, 44100, 2, "pcm16");
    SndfileSource source(path);
    EXPECT_EQ(source.info().channels, 2);
    EXPECT_FALSE(source.info().resampled);
    const std::vector<float> mono = readAll(source);
    ASSERT_EQ(mono.size(), 3u);
    EXPECT_EQ(mono[0], 0.0f);
    EXPECT_EQ(mono[1], (1.0f / 32768.0f + 3.0f / 32768.0f) / 2.0f);
    EXPECT_EQ(mono[2], (-1.0f + 0.25f) / 2.0f);
    fs::remove(path);
}

TEST(SndfileSource, ResamplesOtherRatesAndSaysSo) {
    const std::string path = tempPath("sine_22050.flac");
    writeAudioFile(path, korvala::test::sineAtRate(22050.0, 440.0, 1.0, 0.5f), 22050, 1, "pcm16");
    SndfileSource source(path);
    EXPECT_TRUE(source.info().resampled);
    EXPECT_EQ(source.info().inputRate, 22050);
    EXPECT_EQ(source.info().expectedSamples, 44100);
    EXPECT_NEAR(static_cast<double>(readAll(source).size()), 44100.0, 2.0);
    fs::remove(path);
}

TEST(SndfileSource, NamesTheFileAndTheReasonForEveryBadInput) {
    const std::string missing = tempPath("missing.wav");
    EXPECT_EQ(errorOf([&] { SndfileSource s(missing); }),
              missing + ": cannot open: No such file or directory");

    const std::string empty = tempPath("empty.wav");
    std::ofstream(empty).close();
    EXPECT_EQ(errorOf([&] { SndfileSource s(empty); }), empty + ": the file is empty");

    const std::string text = tempPath("text.wav");
    std::ofstream(text) << "not audio at all, just some words in a file\n";
    EXPECT_NE(errorOf([&] { SndfileSource s(text); }).find(text + ": cannot open: not a supported"),
              std::string::npos);

    const std::string whole = tempPath("whole.wav");
    const std::string cut = tempPath("cut.wav");
    writeAudioFile(whole, korvala::test::sine(440.0, 1.0), 44100, 1, "pcm16");
    fs::copy_file(whole, cut, fs::copy_options::overwrite_existing);
    fs::resize_file(cut, fs::file_size(whole) / 2);
    EXPECT_NE(errorOf([&] { SndfileSource s(cut); }).find(cut + ": truncated"), std::string::npos);

    for (const std::string& p : {empty, text, whole, cut}) {
        fs::remove(p);
    }
}

TEST(SndfileSource, RefusesRatesBelow1000OrAbove768000Hz) {
    const std::pair<int, bool> cases[] = {
        {999, false}, {1000, true}, {768000, true}, {768001, false}};
    for (const auto& [rate, accepted] : cases) {
        const std::string path = tempPath("rate_" + std::to_string(rate) + ".wav");
        writeAudioFile(path, korvala::test::sine(10.0, 0.05), rate, 1, "pcm16");
        const std::string error = errorOf([&] { SndfileSource s(path); });
        if (accepted) {
            EXPECT_EQ(error, "(no InputError)") << rate;
        } else {
            EXPECT_EQ(error, path + ": unsupported sample rate (" + std::to_string(rate) +
                                 " Hz; 1000 to 768000 Hz are read)");
        }
        fs::remove(path);
    }
}

TEST(RawStreamSource, ReadsWholeSamplesAndRejectsStrayBytesAndEmptyStreams) {
    const unsigned char bytes[] = {0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x80, 0xbf, 0x12, 0x34};
    auto open = [&](std::size_t n) {
        return ::fmemopen(const_cast<unsigned char*>(bytes), n, "rb");
    };

    std::FILE* whole = open(8);
    RawStreamSource good(whole, "standard input");
    EXPECT_EQ(readAll(good), (std::vector<float>{1.0f, -1.0f}));
    std::fclose(whole);

    // Bytes already taken from the stream (to look for a file header) come first.
    std::FILE* rest = open(8);
    RawStreamSource headed(rest, "standard input", std::string("\x00\x00\x00\x40", 4));
    EXPECT_EQ(readAll(headed), (std::vector<float>{2.0f, 1.0f, -1.0f}));
    std::fclose(rest);

    std::FILE* stray = open(10);
    RawStreamSource bad(stray, "standard input");
    EXPECT_EQ(errorOf([&] { readAll(bad); }),
              "standard input: the stream ends inside a sample (2 stray bytes); expected 32-bit "
              "float samples");
    std::fclose(stray);

    std::FILE* none = open(0);
    if (none != nullptr) {
        RawStreamSource nothing(none, "standard input");
        EXPECT_EQ(errorOf([&] { readAll(nothing); }),
                  "standard input: no audio (the stream is empty)");
        std::fclose(none);
    }
}
