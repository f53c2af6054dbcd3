// Drives the engine with arbitrary bytes read as a script of operations: audio
// blocks of any length and any float bit pattern, frame times, user controls
// and resets. After every frame each scalar must be finite and inside the range
// its component documents, and each vector element finite; an over-long block
// must raise std::out_of_range and leave the analysis untouched.
#include "korvala/engine/AudioEngine.h"
#include "tests/support/ComponentRanges.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    float anyFloat() {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) {
            bits |= static_cast<std::uint32_t>(byte()) << (8 * i);
        }
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    // Mostly pathological values, sometimes any bit pattern.
    float interestingFloat() {
        static const float table[] = {0.0f,
                                      -0.0f,
                                      1.0f / 60.0f,
                                      1.0f / 30.0f,
                                      0.5f,
                                      2.0f,
                                      -1.0f,
                                      1e30f,
                                      -1e30f,
                                      1e-40f,
                                      std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::max()};
        const std::uint8_t pick = byte();
        if (pick < 200) {
            return table[pick % (sizeof table / sizeof table[0])];
        }
        return anyFloat();
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "engine_fuzzer: %s\n", what.c_str());
    std::abort();
}

void checkValues(Korvala::AudioEngine& engine) {
    const std::string problem = korvala::test::firstUnsoundValue(engine);
    if (!problem.empty()) {
        fail(problem);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    // A fresh engine per input keeps runs reproducible; its construction is cheap
    // next to the analysis.
    Korvala::AudioEngine engine;
    std::vector<float> block;
    int operations = 0;
    while (!in.empty() && operations++ < 256) {
        switch (in.byte() % 6) {
        case 0:
        case 1: {
            std::size_t length = in.u16() % 2304;
            block.resize(length);
            const bool raw = (in.byte() & 1) != 0;
            for (float& s : block) {
                s = raw ? in.anyFloat() : in.interestingFloat();
            }
            if (length > 2048) {
                const std::vector<float> before = engine.getFFTBADFUNCTION();
                try {
                    engine.processAudio(block);
                    fail("an over-long block was accepted");
                } catch (const std::out_of_range&) {
                }
                const std::vector<float> after = engine.getFFTBADFUNCTION();
                if (before.size() != after.size() ||
                    (!before.empty() && std::memcmp(before.data(), after.data(),
                                                    before.size() * sizeof(float)) != 0)) {
                    fail("an over-long block changed the analysis");
                }
            } else {
                engine.processAudio(block);
            }
            break;
        }
        case 2:
            engine.update(in.interestingFloat());
            checkValues(engine);
            break;
        case 3:
            engine.setReactivityUserInput(in.interestingFloat());
            break;
        case 4:
            engine.setAudioSpeedUserInput(in.interestingFloat());
            break;
        case 5:
            engine.resetComponents();
            break;
        }
    }
    engine.update(1.0f / 60.0f);
    checkValues(engine);
    return 0;
}
