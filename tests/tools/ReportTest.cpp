#include "tools/korvala/ToolError.h"
#include "tools/korvala/report/ReportPage.h"
#include "tools/korvala/report/ReportSink.h"
#include "tools/korvala/report/SpectrogramImage.h"
#include "tools/korvala/report/WaveformOverview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace korvala::cli;

namespace {

// The bytes of a vector as the report page carries them (floats and doubles
// in the machine's little-endian order).
template <class T> std::string encoded(const std::vector<T>& values) {
    return base64Encode(values.data(), values.size() * sizeof(T));
}

struct Frames {
    std::vector<float> scalars;
    std::vector<std::vector<float>> vectors;
    void send(ReportSink& sink, std::uint64_t index, bool transition) {
        FrameValues values;
        values.index = index;
        values.time = static_cast<double>(index + 1) / 60.0;
        values.transition = transition;
        values.scalars = &scalars;
        values.vectors = &vectors;
        sink.frame(values);
    }
};

} // namespace

TEST(SpectrogramImage, RowsCoverEveryBinInLogOrder) {
    for (const auto& [bins, rows] : std::vector<std::pair<std::size_t, std::size_t>>{
             {1024, 128}, {1024, 1024}, {1024, 2000}, {16, 5}, {1, 1}, {4, 4}}) {
        const SpectrogramImage image(bins, rows);
        const auto& first = image.rowFirstBin();
        const auto& end = image.rowEndBin();
        ASSERT_EQ(first.size(), rows);
        ASSERT_EQ(end.size(), rows);
        EXPECT_EQ(first.front(), 0u);
        EXPECT_EQ(end.back(), bins);
        for (std::size_t r = 0; r < rows; ++r) {
            EXPECT_LT(first[r], end[r]) << bins << " bins, row " << r;
            if (r > 0) {
                EXPECT_LE(first[r - 1], first[r]) << bins << " bins, row " << r;
                EXPECT_LE(first[r], end[r - 1]) << "gap before row " << r;
            }
        }
    }
    // 128 rows over 1024 bins: 12.8 rows per octave, so bin 2 (43 Hz) starts
    // row 13 and bin 32 (689 Hz) row 64; low rows repeat bin 1.
    const SpectrogramImage image(1024, 128);
    EXPECT_EQ(image.rowFirstBin()[13], 2u);
    EXPECT_EQ(image.rowFirstBin()[64], 32u);
    EXPECT_EQ(image.rowFirstBin()[1], 1u);
    EXPECT_EQ(image.rowFirstBin()[5], 1u);
    EXPECT_EQ(image.rowEndBin()[127], 1024u);
    EXPECT_EQ(image.rowFirstBin()[127], 970u); // round(2^9.921875)
}

TEST(SpectrogramImage, QuantisesTheUnitRangeToBytes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<float, int>> cases{
        {-1.0f, 0},          {0.0f, 0},         {nan, 0},          {-inf, 0},
        {1.0f, 255},         {7.0f, 255},       {inf, 255},        {0.5f, 128},
        {1.0f / 255, 1},     {0.499f / 255, 0}, {0.501f / 255, 1}, {254.4f / 255, 254},
        {254.6f / 255, 255},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(SpectrogramImage::quantise(value), expected) << value;
    }
}

TEST(SpectrogramImage, PoolsNeighbouringFramesByTheirMaximumWhenFull) {
    SpectrogramImage image(4, 4, 4); // one bin per row
    // Frame k lights bin k % 4 with k / 10.
    for (int k = 0; k < 9; ++k) {
        std::vector<float> spectrum(4, 0.0f);
        spectrum[static_cast<std::size_t>(k % 4)] = static_cast<float>(k) / 10.0f;
        image.add(spectrum);
    }
    // Four columns filled → two of two frames, then two more, then full again
    // → two of four frames; frame 8 opens a third column.
    EXPECT_EQ(image.framesPerColumn(), 4u);
    ASSERT_EQ(image.columns(), 3u);
    const std::vector<std::uint8_t> expected{
        0,   26,  51,  77,  // frames 0-3
        102, 128, 153, 179, // frames 4-7
        204, 0,   0,   0,   // frame 8
    };
    EXPECT_EQ(image.pixels(), expected);
}

TEST(SpectrogramImage, ShortSpectraCountAsSilenceBeyondTheirEnd) {
    SpectrogramImage image(8, 3, 2); // rows [0,2) [2,4) [4,8)
    ASSERT_EQ(image.rowFirstBin(), (std::vector<std::size_t>{0, 2, 4}));
    image.add({0.0f, 1.0f, 0.2f});
    const std::vector<std::uint8_t> expected{255, 51, 0};
    EXPECT_EQ(image.pixels(), expected);
}

TEST(WaveformOverview, KeepsTheExtremesOfEveryBucketAcrossHalvings) {
    WaveformOverview overview(2, 4);
    std::vector<float> samples;
    for (int i = 0; i < 19; ++i) {
        samples.push_back(static_cast<float>(i % 5) - 2.0f); // -2 -1 0 1 2 -2 …
    }
    samples[7] = std::numeric_limits<float>::quiet_NaN();
    samples[11] = -std::numeric_limits<float>::infinity();
    // Feed in uneven pieces: the result must not depend on how reads split.
    overview.add(samples.data(), 3);
    overview.add(samples.data() + 3, 16);
    EXPECT_EQ(overview.samples(), 19u);
    EXPECT_EQ(overview.samplesPerBucket(), 8u);
    // Buckets [0,8), [8,16), [16,19); samples 7 and 11 count as 0.
    const std::vector<float> mins{-2.0f, -2.0f, -1.0f};
    const std::vector<float> maxs{2.0f, 2.0f, 1.0f};
    EXPECT_EQ(overview.minima(), mins);
    EXPECT_EQ(overview.maxima(), maxs);
}

TEST(ReportSink, RecordsTransitionsOnsetRisesAndEveryValue) {
    ReportSink sink;
    sink.begin({"kor_Level", "kor_OnBeat"}, {"kor_Waveform", "kor_Spectrum"});
    ASSERT_EQ(sink.spectrograms().size(), 1u);
    EXPECT_EQ(sink.spectrograms()[0].first, "kor_Spectrum");
    Frames f;
    f.vectors = {std::vector<float>(3, 0.25f), std::vector<float>(1024, 1.0f)};
    // kor_OnBeat jumps up on an onset and decays between; equal values are no onset.
    const std::vector<float> onBeat{0.0f, 1.0f, 0.5f, 0.25f, 1.0f, 1.0f, 0.0f, 0.6f};
    for (std::size_t k = 0; k < onBeat.size(); ++k) {
        f.scalars = {static_cast<float>(k) * 0.1f, onBeat[k]};
        f.send(sink, k, k == 3 || k == 7);
    }
    EXPECT_EQ(sink.onsetFrames(), (std::vector<std::uint64_t>{1, 4, 7}));
    EXPECT_EQ(sink.transitionFrames(), (std::vector<std::uint64_t>{3, 7}));
    ASSERT_EQ(sink.times().size(), onBeat.size());
    EXPECT_EQ(sink.times()[2], 3.0 / 60.0);
    EXPECT_EQ(sink.series()[0][5], 5.0f * 0.1f);
    EXPECT_EQ(sink.series()[1], onBeat);
    EXPECT_EQ(sink.spectrograms()[0].second.columns(), onBeat.size());

    // A sink without kor_OnBeat marks no onsets; begin() starts afresh.
    sink.begin({"kor_Level"}, {});
    f.scalars = {1.0f};
    f.vectors.clear();
    f.send(sink, 0, false);
    EXPECT_TRUE(sink.onsetFrames().empty());
    EXPECT_TRUE(sink.spectrograms().empty());
    EXPECT_EQ(sink.times().size(), 1u);

    // Memory stays bounded: a frame past the longest report stops the run.
    FrameValues late;
    late.time = ReportSink::kMaxSeconds + 1.0 / 60.0;
    late.scalars = &f.scalars;
    late.vectors = &f.vectors;
    EXPECT_THROW(sink.frame(late), InputError);
    EXPECT_EQ(sink.times().size(), 1u);
}

TEST(ReportPage, Base64MatchesTheStandardVectors) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\xfe\x00", 3), "//4A"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(base64Encode(plain.data(), plain.size()), encoded);
    }
}

TEST(ReportPage, ClosingTagsCannotEndTheScriptElement) {
    EXPECT_EQ(escapeClosingTags("a</script>b</"), "a<\\/script>b<\\/");
    EXPECT_EQ(escapeClosingTags("a < / b <"), "a < / b <");

    ReportAssets assets;
    assets.pageTemplate = "<s>@@KORVALA_DATA@@</s><j>@@KORVALA_PLOT_SCRIPT@@</j>@@KORVALA_NOPE@@"
                          "@@KORVALA_PAGE_STYLE@@@@KORVALA_";
    assets.plotScript = "x='</script>'";
    assets.pageStyle = "@@KORVALA_DATA@@"; // inserted text is not searched again
    const nlohmann::json data{{"input", "evil</script><script>alert(1)</script>.wav"}};
    const std::string page = renderReportPage(assets, data);
    EXPECT_EQ(page, "<s>{\"input\":\"evil<\\/script><script>alert(1)<\\/script>.wav\"}</s>"
                    "<j>x='<\\/script>'</j>@@KORVALA_NOPE@@@@KORVALA_DATA@@@@KORVALA_");
    // The escaped JSON still reads back to the same name.
    const std::string json = page.substr(3, page.find("</s>") - 3);
    EXPECT_EQ(nlohmann::json::parse(json), data);
}

TEST(ReportPage, LastHalfMedianTakesTheUpperHalfOfTheRun) {
    EXPECT_FALSE(lastHalfMedian({}).has_value());
    EXPECT_EQ(lastHalfMedian({5.0f}), 5.0f);
    // n = 5: values [2, 5) = {9, 1, 4} → 4.
    EXPECT_EQ(lastHalfMedian({100.0f, 100.0f, 9.0f, 1.0f, 4.0f}), 4.0f);
    // n = 4: values [2, 4) = {1, 2} → the mean 1.5, formed in double.
    EXPECT_EQ(lastHalfMedian({100.0f, 100.0f, 2.0f, 1.0f}), 1.5f);
    // The mean is formed in double, so two huge values do not overflow.
    const std::optional<float> huge = lastHalfMedian({0.0f, 0.0f, 3.0e38f, 3.2e38f});
    EXPECT_EQ(huge, static_cast<float>((double(3.0e38f) + double(3.2e38f)) / 2.0));
    EXPECT_TRUE(std::isfinite(*huge));
}

TEST(ReportPage, DataCarriesEveryValueBitForBit) {
    ReportSink sink;
    sink.begin({"kor_A", "kor_OnBeat"}, {"kor_Spectrum", "kor_SpectrumJuiced"});
    Frames f;
    f.vectors = {std::vector<float>(1024, 0.5f), std::vector<float>(1024, 1.0f)};
    const std::vector<float> odd{1.0f / 3.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::denorm_min(), 3.4e38f};
    for (std::size_t k = 0; k < odd.size(); ++k) {
        f.scalars = {odd[k], k == 2 ? 1.0f : 0.0f};
        f.send(sink, k, k == 4);
    }
    WaveformOverview waveform(1, 8);
    const float samples[] = {0.25f, -0.5f};
    waveform.add(samples, 2);
    const nlohmann::json data = reportData(sink, waveform, {{"input", "x"}}, {{"fps_num", 60}});

    EXPECT_EQ(data["format"], "korvala-report/1");
    EXPECT_EQ(data["frames"], odd.size());
    EXPECT_EQ(data["transitions"], nlohmann::json::array({4}));
    EXPECT_EQ(data["onsets"], nlohmann::json::array({2}));
    EXPECT_EQ(data["scalars"][0]["values"], encoded(odd));
    EXPECT_EQ(data["waveform"]["min"], encoded(std::vector<float>{0.25f, -0.5f}));
    EXPECT_EQ(data["time"], encoded(sink.times()));
    EXPECT_EQ(data["spectra"]["images"].size(), 2u);
    EXPECT_EQ(data["spectra"]["columns"], odd.size());
    const std::size_t pixels = odd.size() * SpectrogramImage::kDefaultRows;
    EXPECT_EQ(data["spectra"]["images"][0]["pixels"],
              encoded(std::vector<std::uint8_t>(pixels, 128)));
    EXPECT_EQ(data["spectra"]["images"][1]["pixels"],
              encoded(std::vector<std::uint8_t>(pixels, 255)));
}
