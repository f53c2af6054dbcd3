#include "tools/korvala/SndfileSource.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/Resampler.h"
#include "tools/korvala/SampleConversion.h"
#include "tools/korvala/ToolError.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

namespace korvala::cli {

namespace {
constexpr sf_count_t kChunkFrames = 4096;
constexpr int kMaxChannels = 64;
// Rates outside this range come from broken headers: at 1 Hz one chunk of 4096
// frames would resample to 180 million samples (minutes and gigabytes).
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;

std::string majorName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) == 0 && info.name) {
        return info.extension ? std::string(info.extension) : std::string(info.name);
    }
    return "audio";
}

// libsndfile opens a WAV/AIFF file whose audio chunk is shorter than its
// header announces and quietly reads what is there; its log line
// "data : <announced> (should be <present>)" (SSND for AIFF) gives it away.
// Announced sizes of 0 or all ones mean "unknown" (streamed files), not truncation.
std::string truncationIn(SNDFILE* file) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof(log));
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long announced = 0;
        unsigned long long present = 0;
        char chunk[8] = {};
        if (std::sscanf(line.c_str(), " %4s : %llu (should be %llu)", chunk, &announced,
                        &present) == 3 &&
            (std::strcmp(chunk, "data") == 0 || std::strcmp(chunk, "SSND") == 0) &&
            present < announced && announced != 0xFFFFFFFFull && announced != 0x7FFFFFFFull) {
            return "truncated: the header announces " + std::to_string(announced) +
                   " bytes of audio, the file holds " + std::to_string(present);
        }
    }
    return {};
}

std::string subtypeName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return "pcm8";
    case SF_FORMAT_PCM_16:
        return "pcm16";
    case SF_FORMAT_PCM_24:
        return "pcm24";
    case SF_FORMAT_PCM_32:
        return "pcm32";
    case SF_FORMAT_FLOAT:
        return "float32";
    case SF_FORMAT_DOUBLE:
        return "float64";
    case SF_FORMAT_VORBIS:
        return "vorbis";
    case SF_FORMAT_OPUS:
        return "opus";
    case SF_FORMAT_MPEG_LAYER_III:
        return "mp3";
    default:
        return "encoded";
    }
}
} // namespace

SndfileSource::SndfileSource(const std::string& path) {
    info_.name = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        throw InputError(path + ": cannot open: is a directory");
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        throw InputError(path + ": the file is empty");
    }
    SF_INFO sfInfo{};
    file_ = sf_open(path.c_str(), SFM_READ, &sfInfo);
    if (file_ == nullptr) {
        const int code = sf_error(nullptr);
        std::string reason = sf_strerror(nullptr);
        if (code == SF_ERR_UNRECOGNISED_FORMAT) {
            reason = "not a supported audio format (" + reason + ")";
        } else if (code == SF_ERR_SYSTEM && errno != 0) {
            reason = std::strerror(errno);
        }
        throw InputError(path + ": cannot open: " + reason);
    }
    if (sfInfo.channels < 1 || sfInfo.channels > kMaxChannels || sfInfo.samplerate < 1) {
        sf_close(file_);
        file_ = nullptr;
        throw InputError(path + ": corrupt header (" + std::to_string(sfInfo.channels) +
                         " channels at " + std::to_string(sfInfo.samplerate) + " Hz)");
    }
    if (sfInfo.samplerate < kMinRate || sfInfo.samplerate > kMaxRate) {
        sf_close(file_);
        file_ = nullptr;
        throw InputError(path + ": unsupported sample rate (" + std::to_string(sfInfo.samplerate) +
                         " Hz; " + std::to_string(kMinRate) + " to " + std::to_string(kMaxRate) +
                         " Hz are read)");
    }
    const std::string truncated = truncationIn(file_);
    if (sfInfo.frames <= 0 || !truncated.empty()) {
        sf_close(file_);
        file_ = nullptr;
        throw InputError(path + ": " + (truncated.empty() ? "no audio (0 samples)" : truncated));
    }
    // Integer PCM is read as float scaled by 1/32768 (16 bit) and so on, with no
    // extra normalisation; float files pass through unchanged.
    sf_command(file_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);

    // An Ogg stream cut short has no final page to take its length from;
    // libsndfile then reports the largest count, and reading shows how much is there.
    lengthKnown_ = sfInfo.frames != SF_COUNT_MAX;
    framesAnnounced_ = sfInfo.frames;
    info_.format = majorName(sfInfo.format) + " " + subtypeName(sfInfo.format);
    info_.inputRate = sfInfo.samplerate;
    info_.channels = sfInfo.channels;
    info_.resampled = sfInfo.samplerate != static_cast<int>(kEngineRate);
    info_.expectedSamples =
        !lengthKnown_ ? -1
        : info_.resampled
            ? static_cast<std::int64_t>(std::llround(static_cast<double>(sfInfo.frames) *
                                                     kEngineRate / sfInfo.samplerate))
            : sfInfo.frames;
    interleaved_.resize(static_cast<std::size_t>(kChunkFrames * sfInfo.channels));
    mono_.resize(static_cast<std::size_t>(kChunkFrames));
    if (info_.resampled) {
        resampler_ = std::make_unique<Resampler>(sfInfo.samplerate);
    }
}

SndfileSource::~SndfileSource() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

std::size_t SndfileSource::decodeMore() {
    ready_.clear();
    readyPosition_ = 0;
    while (ready_.empty() && !ended_) {
        const sf_count_t got = sf_readf_float(file_, interleaved_.data(), kChunkFrames);
        if (sf_error(file_) != SF_ERR_NO_ERROR) {
            throw InputError(info_.name + ": decoding failed after " + std::to_string(framesRead_) +
                             " samples: " + sf_strerror(file_));
        }
        if (got <= 0) {
            if (!lengthKnown_) {
                throw InputError(info_.name + ": truncated or corrupt: the stream stops after " +
                                 std::to_string(framesRead_) + " samples without a proper end");
            }
            if (framesRead_ < framesAnnounced_) {
                throw InputError(info_.name + ": truncated or corrupt: the audio ends after " +
                                 std::to_string(framesRead_) + " of " +
                                 std::to_string(framesAnnounced_) + " samples");
            }
            ended_ = true;
            if (resampler_) {
                resampler_->finish(ready_);
            }
            break;
        }
        framesRead_ += got;
        downmixToMono(interleaved_.data(), static_cast<std::size_t>(got), info_.channels,
                      mono_.data());
        if (resampler_) {
            resampler_->push(mono_.data(), static_cast<std::size_t>(got), ready_);
        } else {
            ready_.assign(mono_.begin(), mono_.begin() + got);
        }
    }
    return ready_.size();
}

std::size_t SndfileSource::read(float* out, std::size_t capacity) {
    if (readyPosition_ == ready_.size() && decodeMore() == 0) {
        return 0;
    }
    const std::size_t n = std::min(capacity, ready_.size() - readyPosition_);
    std::copy_n(ready_.begin() + static_cast<std::ptrdiff_t>(readyPosition_), n, out);
    readyPosition_ += n;
    return n;
}

} // namespace korvala::cli
