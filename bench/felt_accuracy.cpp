// Tempo accuracy of the engine's tracker and of the felt tempo on real music.
//
//   korvala_felt_accuracy [--range LO-HI]... [--audio DIR] LIST
//
// LIST holds one clip a line: `file tempo [synthetic]` (a relative file is
// looked up in DIR, else beside LIST; `#` starts a comment). Each clip runs
// through an engine with the felt-tempo layer attached, on the command's
// schedule: 512-sample blocks pushed as they fall due before each of 60
// frames a second. A clip's tempo is the median over the last half of its
// frames, for kor_BPM and for felt_BPM in each range (default 80-160 and
// 60-200). Acc1 counts a tempo within 4 % of the song's; Acc2 within 4 % of
// it or of 1/2, 2, 1/3 or 3 times it. Clips marked synthetic are listed but
// left out of the totals.
#include "korvala/engine/AudioEngine.h"
#include "korvala/feel/FeltTempo.h"
#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/LastHalfMedian.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Range {
    float low, high;
};

struct Clip {
    std::string path;
    std::string name;
    double tempo = 0.0;
    bool synthetic = false;
};

bool within(double value, double target) {
    return std::fabs(value - target) <= 0.04 * target;
}
bool acc1(double value, double tempo) {
    return within(value, tempo);
}
bool acc2(double value, double tempo) {
    for (const double f : {1.0, 0.5, 2.0, 1.0 / 3.0, 3.0}) {
        if (within(value, f * tempo)) {
            return true;
        }
    }
    return false;
}

// Mono 44.1 kHz samples of a file (channels averaged); empty with a message on failure.
std::vector<float> load(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "felt_accuracy: cannot open %s: %s\n", path.c_str(),
                     sf_strerror(nullptr));
        return {};
    }
    if (info.samplerate != 44100) {
        std::fprintf(stderr, "felt_accuracy: %s is at %d Hz, not 44100 Hz\n", path.c_str(),
                     info.samplerate);
        sf_close(file);
        return {};
    }
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * channels);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<float> mono(static_cast<std::size_t>(got));
    for (std::size_t i = 0; i < mono.size(); ++i) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            sum += interleaved[i * channels + c];
        }
        mono[i] = sum / static_cast<float>(channels);
    }
    return mono;
}

// Median over the last half of the frames of kor_BPM (range null) or felt_BPM.
float measure(const std::vector<float>& audio, const Range* range) {
    using namespace korvala::cli;
    constexpr std::uint64_t kBlock = 512;
    const HostSchedule schedule(FrameRate{60, 1}, kBlock);
    Korvala::AudioEngine engine;
    Korvala::FeltTempo::Options options;
    if (range != nullptr) {
        options.tempo.minBPM = range->low;
        options.tempo.maxBPM = range->high;
    }
    Korvala::FeltTempo feel(engine, options);
    Korvala::AudioComponent* value =
        engine.getController().getComponent(range != nullptr ? "felt_BPM" : "kor_BPM");
    LastHalfMedian median;
    std::vector<float> block(kBlock);
    std::uint64_t pushed = 0;
    const std::uint64_t frames = schedule.frameCount(audio.size());
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
        for (; pushed < schedule.blocksDueAt(frame); ++pushed) {
            const auto* start = audio.data() + pushed * kBlock;
            block.assign(start, start + kBlock);
            engine.processAudio(block);
        }
        engine.update(schedule.frameTime());
        median.add(value->getValue());
    }
    return median.median().value_or(0.0f);
}

bool parseRange(const std::string& text, Range* range) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) {
        return false;
    }
    try {
        range->low = std::stof(text.substr(0, dash));
        range->high = std::stof(text.substr(dash + 1));
    } catch (const std::exception&) {
        return false;
    }
    return range->low > 0.0f && range->high >= range->low;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Range> ranges;
    std::string audioDir;
    std::string listPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--range" && i + 1 < argc) {
            Range r{};
            if (!parseRange(argv[++i], &r)) {
                std::fprintf(stderr, "felt_accuracy: --range takes LO-HI in BPM, not '%s'\n",
                             argv[i]);
                return 2;
            }
            ranges.push_back(r);
        } else if (arg == "--audio" && i + 1 < argc) {
            audioDir = argv[++i];
        } else if (listPath.empty() && arg.rfind("--", 0) != 0) {
            listPath = arg;
        } else {
            std::fprintf(stderr, "usage: %s [--range LO-HI]... [--audio DIR] LIST\n", argv[0]);
            return 2;
        }
    }
    if (listPath.empty()) {
        std::fprintf(stderr, "usage: %s [--range LO-HI]... [--audio DIR] LIST\n", argv[0]);
        return 2;
    }
    if (ranges.empty()) {
        ranges = {{80.0f, 160.0f}, {60.0f, 200.0f}};
    }
    if (audioDir.empty()) {
        audioDir = directoryOf(listPath);
    }

    std::ifstream list(listPath);
    if (!list) {
        std::fprintf(stderr, "felt_accuracy: cannot read %s\n", listPath.c_str());
        return 1;
    }
    std::vector<Clip> clips;
    std::string line;
    while (std::getline(list, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        Clip clip;
        if (!(fields >> clip.name)) {
            continue;
        }
        std::string tag;
        if (!(fields >> clip.tempo) || clip.tempo <= 0.0) {
            std::fprintf(stderr, "felt_accuracy: expected `file tempo` in %s, not '%s'\n",
                         listPath.c_str(), line.c_str());
            return 1;
        }
        clip.synthetic = (fields >> tag) && tag == "synthetic";
        clip.path = clip.name.front() == '/' ? clip.name : audioDir + "/" + clip.name;
        clips.push_back(clip);
    }

    std::printf("| clip | tempo | kor_BPM |");
    for (const Range& r : ranges) {
        std::printf(" felt %g–%g |", static_cast<double>(r.low), static_cast<double>(r.high));
    }
    std::printf("\n|---|---:|---:|");
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        std::printf("---:|");
    }
    std::printf("\n");

    // Columns: kor_BPM, then each range. A mark after a value: `=` Acc1, `~` Acc2 only.
    const std::size_t columns = ranges.size() + 1;
    std::vector<int> hits1(columns, 0);
    std::vector<int> hits2(columns, 0);
    int counted = 0;
    int failed = 0;
    for (const Clip& clip : clips) {
        const std::vector<float> audio = load(clip.path);
        if (audio.empty()) {
            ++failed;
            continue;
        }
        std::printf("| %s%s | %g |", clip.name.c_str(), clip.synthetic ? " (synthetic)" : "",
                    clip.tempo);
        for (std::size_t c = 0; c < columns; ++c) {
            const double v = measure(audio, c == 0 ? nullptr : &ranges[c - 1]);
            const bool a1 = acc1(v, clip.tempo);
            const bool a2 = acc2(v, clip.tempo);
            std::printf(" %.1f%s |", v, a1 ? "" : a2 ? " ~" : " ✗");
            if (!clip.synthetic) {
                hits1[c] += a1;
                hits2[c] += a2;
            }
        }
        std::printf("\n");
        std::fflush(stdout);
        counted += !clip.synthetic;
    }
    const double n = counted > 0 ? counted : 1;
    std::printf("| **Acc1** (%d clips) | | %.2f |", counted, hits1[0] / n);
    for (std::size_t c = 1; c < columns; ++c) {
        std::printf(" %.2f |", hits1[c] / n);
    }
    std::printf("\n| **Acc2** | | %.2f |", hits2[0] / n);
    for (std::size_t c = 1; c < columns; ++c) {
        std::printf(" %.2f |", hits2[c] / n);
    }
    std::printf("\n");
    return failed == 0 ? 0 : 1;
}
