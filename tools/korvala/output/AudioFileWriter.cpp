#include "tools/korvala/output/AudioFileWriter.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/output/OutputFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace korvala::cli {

namespace {
std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

int formatFor(const std::string& path, const std::string& encoding) {
    const std::string ext = extensionOf(path);
    int major = 0;
    std::string natural = "float";
    if (ext == "wav") {
        major = SF_FORMAT_WAV;
    } else if (ext == "aiff" || ext == "aif") {
        major = SF_FORMAT_AIFF;
    } else if (ext == "raw") {
        major = SF_FORMAT_RAW | SF_ENDIAN_LITTLE;
    } else if (ext == "flac") {
        major = SF_FORMAT_FLAC;
        natural = "pcm16";
    } else if (ext == "ogg") {
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    } else if (ext == "opus") {
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    } else if (ext == "mp3") {
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    } else {
        throw UsageError("--out " + path +
                         ": unknown extension; use .wav, .aiff, .flac, .ogg, .opus, .mp3 or .raw");
    }
    const std::string chosen = encoding.empty() ? natural : encoding;
    if (chosen == "float" && major != SF_FORMAT_FLAC) {
        return major | SF_FORMAT_FLOAT;
    }
    if (chosen == "pcm16") {
        return major | SF_FORMAT_PCM_16;
    }
    if (chosen == "pcm24") {
        return major | SF_FORMAT_PCM_24;
    }
    throw UsageError("--encoding " + chosen + ": not possible in ." + ext + " files");
}
} // namespace

int defaultSampleRate(const std::string& path) {
    return extensionOf(path) == "opus" ? 48000 : 44100;
}

void checkDemoSize(const std::string& path, double seconds, int sampleRate, int channels) {
    if (extensionOf(path) == "opus" && sampleRate != 8000 && sampleRate != 12000 &&
        sampleRate != 16000 && sampleRate != 24000 && sampleRate != 48000) {
        throw UsageError("--sample-rate " + std::to_string(sampleRate) +
                         ": Opus takes 8000, 12000, 16000, 24000 or 48000 Hz (48000 when "
                         "--sample-rate is not given)");
    }
    const double samples = seconds * sampleRate * channels;
    if (samples > kMaxDemoSamples) {
        char text[256];
        std::snprintf(text, sizeof(text),
                      "--seconds x --sample-rate x --channels: %.0f samples, more than the %.0f "
                      "(1 GiB) the demo is rendered with; shorten it, or lower the rate or the "
                      "channel count",
                      samples, kMaxDemoSamples);
        throw UsageError(text);
    }
}

void writeAudioFile(const std::string& path, const std::vector<float>& interleaved, int sampleRate,
                    int channels, const std::string& encoding) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = formatFor(path, encoding);
    if (!sf_format_check(&info)) {
        throw UsageError("--out " + path + ": this libsndfile cannot write that format");
    }
    OutputFile output(path, OutputFile::Access::Descriptor);
    SNDFILE* file = sf_open_fd(output.releaseDescriptor(), SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        throw InputError(path + ": cannot write: " + sf_strerror(nullptr));
    }
    // Integer files get the full-scale mapping that reading undoes (±1.0 ↔ ±32768).
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const sf_count_t written = sf_writef_float(file, interleaved.data(), frames);
    const std::string error = sf_strerror(file);
    const int closed = sf_close(file);
    if (written != frames || closed != 0) {
        throw InputError(path + ": write failed: " + error);
    }
    output.commit();
}

} // namespace korvala::cli
