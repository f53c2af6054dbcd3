// Feeds arbitrary bytes to the korvala command's file loading as an audio
// file: mutated WAV, FLAC and Ogg headers and bodies. Opening or decoding may
// fail with an InputError; anything else (a crash, a sanitizer report, an
// unexpected exception type, a hang or a memory blow-up) is a finding.
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/SndfileSource.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {
// Enough decoded audio to pass through every stage several times over; a
// header may announce far more, which only costs time.
constexpr std::size_t kMaxSamples = 1 << 20;

std::string scratchPath() {
    return "/dev/shm/korvala_sndfile_fuzz_" + std::to_string(getpid()) + ".bin";
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, f);
    }
    std::fclose(f);
    try {
        korvala::cli::SndfileSource source(path);
        std::vector<float> chunk(4096);
        std::size_t total = 0;
        while (total < kMaxSamples) {
            const std::size_t got = source.read(chunk.data(), chunk.size());
            if (got == 0) {
                break;
            }
            total += got;
        }
    } catch (const korvala::cli::InputError&) {
        // A refused or broken file is an expected outcome.
    }
    return 0;
}
