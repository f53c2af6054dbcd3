// A minimal host: pushes four seconds of a generated 120 BPM pulse through the
// engine in 512-sample blocks, updates at 60 frames per second and prints a
// few of the named values the visuals would receive.
#include <korvala/engine/AudioEngine.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {
void onTransition(void* context) {
    ++*static_cast<int*>(context);
}
} // namespace

int main() {
    Korvala::AudioEngine engine;
    int transitions = 0;
    engine.setTransitionComponent(onTransition, &transitions);

    const int sampleRate = engine.getSampleRate();
    const int blockSize = 512;
    const double seconds = 4.0;
    const double pi = 3.14159265358979323846;
    std::vector<float> block(blockSize);
    long sample = 0;
    double nextFrame = 1.0 / 60.0;

    std::printf("%6s %10s %10s %10s %10s\n", "time", "kor_Level", "kor_Hits", "kor_OnBeat", "TIME");
    while (sample < static_cast<long>(seconds * sampleRate)) {
        for (int i = 0; i < blockSize; ++i, ++sample) {
            const double t = static_cast<double>(sample) / sampleRate;
            const double sinceBeat = std::fmod(t, 0.5);
            block[static_cast<size_t>(i)] = static_cast<float>(0.8 * std::exp(-sinceBeat * 12.0) *
                                                               std::sin(2.0 * pi * 60.0 * t));
        }
        engine.processAudio(block);
        const double now = static_cast<double>(sample) / sampleRate;
        while (nextFrame <= now) {
            engine.update(1.0f / 60.0f);
            nextFrame += 1.0 / 60.0;
            const long frame = std::lround(nextFrame * 60.0);
            if (frame % 30 == 0) {
                const auto values = engine.getAllComponents();
                std::printf("%6.2f", now);
                for (const char* name : {"kor_Level", "kor_Hits", "kor_OnBeat", "TIME"}) {
                    const auto it = values.find(name);
                    if (it != values.end()) {
                        std::printf(" %10.4f", static_cast<double>(it->second));
                    } else {
                        std::printf(" %10s", "-");
                    }
                }
                std::printf("\n");
            }
        }
    }
    std::printf("components: %zu scalar, %zu vector; transitions: %d\n",
                engine.getAllComponents().size(), engine.getAllComponents2D().size(), transitions);
    return 0;
}
