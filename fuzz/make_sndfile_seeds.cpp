// Writes the seed files of sndfile_fuzzer into the folder given as argument:
// tiny valid WAV, AIFF, FLAC and Ogg files (a short sine) plus a WAV cut short.
// Build and run by hand: c++ fuzz/make_sndfile_seeds.cpp -lsndfile && ./a.out fuzz/corpus/sndfile
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {
bool writeSeed(const std::string& path, int format, int rate, int channels, int frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<std::size_t>(i * channels + c)] =
                0.5f * std::sin(6.2831853f * 440.0f * static_cast<float>(i + 7 * c) /
                                static_cast<float>(rate));
        }
    }
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    ok &= writeSeed(dir + "/pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 600);
    ok &= writeSeed(dir + "/float_stereo_48k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 300);
    ok &= writeSeed(dir + "/pcm24_22k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050, 1, 400);
    ok &= writeSeed(dir + "/ulaw_8k.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, 300);
    ok &= writeSeed(dir + "/pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 1, 400);
    ok &= writeSeed(dir + "/pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 2000);
    ok &= writeSeed(dir + "/pcm24_stereo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 2, 1000);
    ok &= writeSeed(dir + "/vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, 2000);
    ok &= writeSeed(dir + "/opus.ogg", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1, 2000);
    // The same WAV cut short: the header announces more audio than follows.
    const std::string full = dir + "/pcm16.wav";
    if (std::FILE* in = std::fopen(full.c_str(), "rb")) {
        std::vector<char> bytes(1200);
        const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), in);
        std::fclose(in);
        if (std::FILE* out = std::fopen((dir + "/truncated.wav").c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, n / 2, out);
            std::fclose(out);
        }
    }
    return ok ? 0 : 1;
}
