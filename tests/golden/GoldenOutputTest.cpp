// Golden outputs of the whole engine: every 44 scalars (exact bits) and a
// checksum of the exact bits of every vector, on every 10th frame of the
// korvala command's host schedule, for three generated signals. A fresh run
// must reproduce them bit for bit; any speed-up that changes one bit fails.
//
// To regenerate after a deliberate change of results (say why in the commit):
//   KORVALA_UPDATE_GOLDEN=1 ./test_golden
#include "korvala/engine/AudioEngine.h"
#include "tests/support/Signals.h"
#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/sources/DemoTrack.h"
#include "tools/korvala/sources/MemorySource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using korvala::cli::FrameValues;

constexpr std::uint64_t kEvery = 10;

using korvala::test::bitsOf;

// FNV-1a over the length and the exact bits of every element.
std::uint64_t checksum(const std::vector<float>& values) {
    std::uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](std::uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash ^= (word >> (8 * i)) & 0xffu;
            hash *= 1099511628211ull;
        }
    };
    mix(static_cast<std::uint32_t>(values.size()));
    for (float v : values) {
        mix(bitsOf(v));
    }
    return hash;
}

// Collects every 10th frame as one text line.
class GoldenSink : public korvala::cli::FrameSink {
public:
    void begin(const std::vector<std::string>& scalars,
               const std::vector<std::string>& vectors) override {
        std::ostringstream header;
        header << "names";
        for (const auto& n : scalars) {
            header << ' ' << n;
        }
        header << " |";
        for (const auto& n : vectors) {
            header << ' ' << n;
        }
        lines.push_back(header.str());
    }
    void frame(const FrameValues& values) override {
        if (values.index % kEvery != 0) {
            return;
        }
        std::string line = std::to_string(values.index);
        char buffer[24];
        for (float v : *values.scalars) {
            std::snprintf(buffer, sizeof buffer, " %08" PRIx32, bitsOf(v));
            line += buffer;
        }
        line += " |";
        for (const auto& vec : *values.vectors) {
            std::snprintf(buffer, sizeof buffer, " %016" PRIx64, checksum(vec));
            line += buffer;
        }
        lines.push_back(line);
    }
    std::vector<std::string> lines;
};

std::vector<std::string> runSignal(const std::vector<float>& samples) {
    Korvala::AudioEngine engine;
    korvala::cli::AnalysisOptions options;
    options.scalars = korvala::cli::engineScalarNames(engine);
    options.vectors = korvala::cli::engineVectorNames(engine);
    korvala::cli::SourceInfo info;
    info.name = "golden";
    korvala::cli::MemorySource source(samples, info);
    GoldenSink sink;
    korvala::cli::runAnalysis(engine, source, options, sink);
    return sink.lines;
}

std::string goldenPath(const std::string& name) {
    return std::string(KORVALA_GOLDEN_DIR) + "/" + KORVALA_FFT_BACKEND + "/" + name + ".txt";
}

std::vector<float> demoTrack() {
    return korvala::cli::DemoTrack::render(44100, korvala::cli::DemoTrack::kDefaultSeconds);
}

std::vector<float> pattern100WithNoise() {
    using namespace korvala::test;
    std::vector<float> signal = kickHatPattern(100.0, 30.0);
    const std::vector<float> hiss = noise(30.0, 0.05f, 3);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] += hiss[i];
    }
    return signal;
}

// Silence, then a kick pattern driven far into clipping, then a sudden change
// to a quieter, faster pattern with hiss, then silence again.
std::vector<float> silenceClippingAndChange() {
    using namespace korvala::test;
    std::vector<float> signal = silence(6.0);
    for (float v : kickPattern(128.0, 8.0)) {
        signal.push_back(std::clamp(v * 4.0f, -1.0f, 1.0f));
    }
    const std::vector<float> change = kickHatPattern(90.0, 8.0);
    const std::vector<float> hiss = noise(8.0, 0.1f, 5);
    for (std::size_t i = 0; i < change.size(); ++i) {
        signal.push_back(0.4f * change[i] + hiss[i]);
    }
    const std::vector<float> tail = silence(4.0);
    signal.insert(signal.end(), tail.begin(), tail.end());
    return signal;
}

void checkAgainstGolden(const std::string& name, const std::vector<float>& samples) {
    const std::vector<std::string> fresh = runSignal(samples);
    const std::string path = goldenPath(name);
    if (std::getenv("KORVALA_UPDATE_GOLDEN") != nullptr) {
        std::ofstream out(path);
        for (const auto& line : fresh) {
            out << line << '\n';
        }
        ASSERT_TRUE(out.good()) << "could not write " << path;
        GTEST_SKIP() << "rewrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << "missing golden file " << path
                           << " (run with KORVALA_UPDATE_GOLDEN=1 to create it)";
    std::vector<std::string> golden;
    for (std::string line; std::getline(in, line);) {
        golden.push_back(line);
    }
    ASSERT_EQ(golden.size(), fresh.size()) << "frame count differs for " << name;
    ASSERT_EQ(golden[0], fresh[0]) << "component names differ for " << name;
    std::istringstream header(golden[0]);
    std::vector<std::string> names;
    for (std::string word; header >> word;) {
        names.push_back(word);
    }
    int reported = 0;
    for (std::size_t i = 1; i < golden.size() && reported < 5; ++i) {
        if (golden[i] == fresh[i]) {
            continue;
        }
        std::istringstream a(golden[i]), b(fresh[i]);
        std::string wa, wb;
        std::size_t column = 0;
        std::string frame;
        while (a >> wa && b >> wb) {
            if (column == 0) {
                frame = wa;
            } else if (wa != wb && reported < 5) {
                ++reported;
                ADD_FAILURE() << name << " frame " << frame << ": " << names[column] << " was "
                              << wa << ", now " << wb;
            }
            ++column;
        }
    }
}

} // namespace

TEST(GoldenOutputs, DemoTrackIsReproducedBitForBit) {
    checkAgainstGolden("demo", demoTrack());
}

TEST(GoldenOutputs, Pattern100WithNoiseIsReproducedBitForBit) {
    checkAgainstGolden("pattern100_noise", pattern100WithNoise());
}

TEST(GoldenOutputs, SilenceClippingAndChangeIsReproducedBitForBit) {
    checkAgainstGolden("silence_clipping_change", silenceClippingAndChange());
}
