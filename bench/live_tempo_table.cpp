// Prints the tempo the plain engine and the live layer find for generated 120
// and 174 BPM patterns fed the way a device delivers them: at 48000 Hz in
// 480-frame callbacks, 44100/256, 96000/1024 and 22050/128, in 1, 2 and 6
// channels. The plain engine gets each callback as it comes (mixed to mono);
// the live layer gets the same callbacks and one frame() per 1/60 s.
#include "korvala/live/LiveEngine.h"
#include "tests/support/Signals.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {
struct Result {
    float plain;
    float live;
};

Result play(double rate, std::size_t block, int channels, double bpm) {
    const std::vector<float> mono = korvala::test::kickHatPatternAtRate(rate, bpm, 20.0);
    Korvala::AudioEngine plain;
    Korvala::LiveEngine live(rate, channels);
    std::vector<float> interleaved(block * static_cast<std::size_t>(channels));
    std::vector<float> mixed(block);
    double nextFrame = rate / 60.0;
    for (std::size_t start = 0; start + block <= mono.size(); start += block) {
        for (std::size_t i = 0; i < block; ++i) {
            float sum = 0.0f;
            for (int c = 0; c < channels; ++c) {
                const float v = mono[start + i] * (2.0f * static_cast<float>(c + 1) /
                                                   static_cast<float>(channels + 1));
                interleaved[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                    v;
                sum += v;
            }
            mixed[i] = sum / static_cast<float>(channels);
        }
        live.pushInterleaved(interleaved.data(), block);
        plain.processAudio(mixed);
        if (static_cast<double>(start + block) >= nextFrame) {
            live.frame(1.0f / 60.0f);
            plain.update(1.0f / 60.0f);
            nextFrame += rate / 60.0;
        }
    }
    Korvala::LiveSnapshot snap;
    live.frame(1.0f / 60.0f);
    live.latest(snap);
    return {plain.getComponent("kor_BPM"),
            snap.scalars[Korvala::LiveEngine::scalarIndex("kor_BPM")]};
}
} // namespace

int main() {
    struct Device {
        double rate;
        std::size_t block;
    };
    std::printf("| rate / callback | channels | true BPM | AudioEngine raw | error | LiveEngine | "
                "error |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Device d :
         {Device{48000, 480}, Device{44100, 256}, Device{96000, 1024}, Device{22050, 128}}) {
        for (int channels : {1, 2, 6}) {
            for (double bpm : {120.0, 174.0}) {
                const Result r = play(d.rate, d.block, channels, bpm);
                std::printf("| %.0f / %zu | %d | %.0f | %.1f | %+.1f %% | %.1f | %+.1f %% |\n",
                            d.rate, d.block, channels, bpm, static_cast<double>(r.plain),
                            100.0 * (r.plain - bpm) / bpm, static_cast<double>(r.live),
                            100.0 * (r.live - bpm) / bpm);
            }
        }
    }
    return 0;
}
