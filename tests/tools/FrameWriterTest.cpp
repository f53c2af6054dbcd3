#include "tools/korvala/output/FrameWriter.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/output/OutputFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace korvala::cli;
namespace fs = std::filesystem;

namespace {
std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Collects the frames a filter passes on.
class RecordingSink : public FrameSink {
public:
    void begin(const std::vector<std::string>&, const std::vector<std::string>&) override {}
    void frame(const FrameValues& values) override {
        indices.push_back(values.index);
        transitions.push_back(values.transition);
    }
    std::vector<std::uint64_t> indices;
    std::vector<bool> transitions;
};
} // namespace

TEST(FrameWriter, PrintsFloatsInTheShortestTextThatReadsBackBitExactly) {
    // {value, its text where pinned}
    const std::pair<float, const char*> values[] = {
        {0.1f, "0.1"},      {0.999f, "0.999"},     {1.0f / 3.0f, nullptr}, {-0.0f, nullptr},
        {FLT_MIN, nullptr}, {FLT_MAX, nullptr},    {1e-45f, nullptr},      {16777217.0f, nullptr},
        {0.5f, "0.5"},      {123456.789f, nullptr}};
    for (const auto& [v, pinned] : values) {
        std::string text;
        appendFloat(text, v);
        const float back = std::strtof(text.c_str(), nullptr);
        EXPECT_EQ(0, std::memcmp(&v, &back, sizeof(float))) << text;
        if (pinned != nullptr) {
            EXPECT_EQ(text, pinned);
        }
    }
}

TEST(FrameWriter, WritesCsvHeaderRowsAndJsonLinesWithTheSameFields) {
    const std::string csvPath = (fs::path(::testing::TempDir()) / "korvala_writer.csv").string();
    const std::string jsonPath = (fs::path(::testing::TempDir()) / "korvala_writer.jsonl").string();
    const std::vector<std::string> names = {"TIME", "kor_Level"};
    const std::vector<float> scalars = {0.25f, NAN};
    const std::vector<std::vector<float>> vectors = {{1.0f, 0.5f}};
    FrameValues values;
    values.index = 3;
    values.time = 0.0625;
    values.transition = true;
    values.scalars = &scalars;
    values.vectors = &vectors;
    {
        OutputFile out(csvPath);
        CsvFrameWriter csv(out.stream(), out.name());
        csv.begin(names, {});
        csv.frame(values);
        csv.end();
        out.commit();
    }
    EXPECT_EQ(slurp(csvPath), "frame,time,TIME,kor_Level,transition\n3,0.0625,0.25,nan,1\n");
    {
        OutputFile out(jsonPath);
        JsonlFrameWriter json(out.stream(), out.name());
        json.begin(names, {"kor_Spectrum"});
        json.frame(values);
        json.end();
        out.commit();
    }
    EXPECT_EQ(slurp(jsonPath), "{\"frame\":3,\"time\":0.0625,\"TIME\":0.25,\"kor_Level\":null,"
                               "\"transition\":true,\"kor_Spectrum\":[1,0.5]}\n");
    fs::remove(csvPath);
    fs::remove(jsonPath);
}

TEST(FrameWriter, EveryNthKeepsFramesZeroNTwoNAndCarriesDroppedTransitions) {
    RecordingSink sink;
    EveryNthFrame every(3, sink);
    const std::vector<float> none;
    for (std::uint64_t k = 0; k < 8; ++k) {
        FrameValues v;
        v.index = k;
        v.transition = (k == 1 || k == 6);
        v.scalars = &none;
        every.frame(v);
    }
    EXPECT_EQ(sink.indices, (std::vector<std::uint64_t>{0, 3, 6}));
    EXPECT_EQ(sink.transitions, (std::vector<bool>{false, true, true}));
}

TEST(OutputFile, AppearsUnderItsNameOnlyWhenCommitted) {
    const fs::path dir = fs::path(::testing::TempDir()) / "korvala_output_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string target = (dir / "out.csv").string();
    {
        OutputFile abandoned(target);
        std::fputs("half a file", abandoned.stream());
    }
    EXPECT_TRUE(fs::is_empty(dir)); // neither the file nor its temporary is left
    {
        OutputFile done(target);
        std::fputs("all of it", done.stream());
        EXPECT_FALSE(fs::exists(target));
        done.commit();
    }
    EXPECT_EQ(slurp(target), "all of it");
    const std::string missing = (dir / "no_such_dir" / "out.csv").string();
    try {
        OutputFile bad(missing);
        ADD_FAILURE() << "created a file in a missing directory";
    } catch (const InputError& e) {
        EXPECT_EQ(std::string(e.what()), missing + ": cannot create: No such file or directory");
    }
    fs::remove_all(dir);
}
