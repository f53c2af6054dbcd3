#include "tools/korvala/sources/SndfileSource.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/MonoStream.h"
#include "tools/korvala/sources/SampleConversion.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace korvala::cli {

namespace {
constexpr auto kChunkFrames = static_cast<sf_count_t>(kConversionChunkFrames);
constexpr int kMaxChannels = kMaxInputChannels;
constexpr int kMinRate = kMinInputRate;
constexpr int kMaxRate = kMaxInputRate;

std::string majorName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) == 0 && info.name) {
        return info.extension ? std::string(info.extension) : std::string(info.name);
    }
    return "audio";
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The number after `key` in `text`, or -1.
long long numberAfter(const std::string& text, const std::string& key) {
    const auto at = text.find(key);
    if (at == std::string::npos) {
        return -1;
    }
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str() + at + key.size(), &end, 10);
    return end == text.c_str() + at + key.size() ? -1 : value;
}

// libsndfile opens a file whose audio is shorter than its header announces and
// quietly reads what is there; its log gives the announced length away, in a
// way of its own per format. Sizes of 0 or all ones mean "unknown" (streamed
// files), not truncation.
std::string truncationIn(SNDFILE* file, int major, std::int64_t frames, int descriptor,
                         std::int64_t fileSize, int bytesPerFrame) {
    char log[16384] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof(log));
    std::istringstream lines(log);
    std::string line;
    const std::string frameCut = "truncated: the header announces ";
    while (std::getline(lines, line)) {
        // "data : 882000 (should be 399976)": the audio chunk's size against
        // what the file holds (WAV data, AIFF SSND, AU, 8SVX BODY, W64 riff).
        const auto should = line.find("(should be ");
        const auto colon = line.find(':');
        if (should != std::string::npos && colon != std::string::npos && colon < should) {
            std::string label = line.substr(0, colon);
            label.erase(0, label.find_first_not_of(' '));
            label.erase(label.find_last_not_of(' ') + 1);
            const unsigned long long announced =
                std::strtoull(line.c_str() + colon + 1, nullptr, 10);
            const unsigned long long present =
                std::strtoull(line.c_str() + should + 11, nullptr, 10);
            const bool audioChunk = label == "data" || label == "SSND" || label == "Data Size" ||
                                    label == "BODY" || (label == "riff" && major == SF_FORMAT_W64);
            if (audioChunk && present < announced && announced != 0xFFFFFFFFull &&
                announced != 0x7FFFFFFFull) {
                return frameCut + std::to_string(announced) +
                       (label == "riff" ? " bytes, the file holds "
                                        : " bytes of audio, the file holds ") +
                       std::to_string(present);
            }
        }
        if (startsWith(line, "Seems to be a truncated file")) { // VOC
            return "truncated: the file ends inside its last block of audio";
        }
        // RF64 keeps its frame count in the ds64 chunk; AVR and MPC2K in a
        // "Frames" field.
        long long announced = numberAfter(line, "value from 'ds64' chunk of ");
        if (announced < 0 && (major == SF_FORMAT_AVR || major == SF_FORMAT_MPC2K)) {
            const auto field = line.find_first_not_of(' ');
            if (field != std::string::npos && startsWith(line.substr(field), "Frames ")) {
                announced = numberAfter(line, ": ");
            }
        }
        if (announced > frames) {
            return frameCut + std::to_string(announced) + " samples, the file holds " +
                   std::to_string(frames);
        }
    }
    if (major == SF_FORMAT_NIST) { // "sample_count -i 441000" in its text header
        std::string header(1024, '\0');
        const ssize_t got = ::pread(descriptor, header.data(), header.size(), 0);
        header.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        const long long announced = numberAfter(header, "sample_count -i ");
        if (announced > frames) {
            return frameCut + std::to_string(announced) + " samples, the file holds " +
                   std::to_string(frames);
        }
    }
    // IRCAM headers hold no length: the file's size is the audio's, so only a
    // cut inside a sample shows.
    if (major == SF_FORMAT_IRCAM && bytesPerFrame > 0 && fileSize > 1024 &&
        (fileSize - 1024) % bytesPerFrame != 0) {
        return "truncated: the file ends inside a sample";
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

int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

// Decoders (libmpg123) print their warnings and errors straight to standard
// error. While one runs, file descriptor 2 points into an unnamed temporary
// file instead; what landed there is read back afterwards, and a line the
// decoder marks as an error fails the read.
class DecoderMessages {
public:
    DecoderMessages() {
        std::FILE* file = std::tmpfile();
        if (file != nullptr) {
            descriptor_ = ::dup(::fileno(file));
            std::fclose(file);
        }
    }
    ~DecoderMessages() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    /// Standard error goes to the temporary file for the guard's lifetime.
    class Capture {
    public:
        explicit Capture(const DecoderMessages& messages) {
            if (messages.descriptor_ >= 0) {
                std::fflush(stderr);
                saved_ = ::dup(STDERR_FILENO);
                if (saved_ >= 0) {
                    ::dup2(messages.descriptor_, STDERR_FILENO);
                }
            }
        }
        ~Capture() {
            if (saved_ >= 0) {
                std::fflush(stderr);
                ::dup2(saved_, STDERR_FILENO);
                ::close(saved_);
            }
        }
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

    private:
        int saved_ = -1;
    };

    /// The first error line written since the last call ("" if none); the
    /// rest (warnings, notes) is dropped.
    std::string takeError() {
        if (descriptor_ < 0) {
            return {};
        }
        const off_t end = ::lseek(descriptor_, 0, SEEK_CUR);
        if (end <= 0) {
            return {};
        }
        std::string text(static_cast<std::size_t>(std::min<off_t>(end, 1 << 16)), '\0');
        const ssize_t got = ::pread(descriptor_, text.data(), text.size(), 0);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        ::ftruncate(descriptor_, 0);
        ::lseek(descriptor_, 0, SEEK_SET);
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            // "[src/libmpg123/layer3.c:INT123_do_layer3():1844] error: dequantization failed!"
            if (!line.empty() && line[0] == '[' && line.find("] ") != std::string::npos) {
                line.erase(0, line.find("] ") + 2);
            }
            if (startsWith(line, "error: ") || startsWith(line, "Error: ")) {
                return line.substr(7);
            }
        }
        return {};
    }

private:
    int descriptor_ = -1;
};

DecoderMessages& decoderMessages() {
    static DecoderMessages messages;
    return messages;
}

// libsndfile's reasons that mislead about a damaged file it did recognise.
bool misleading(int code, const std::string& reason) {
    return code == SF_ERR_SYSTEM || reason.find("possibly a pipe") != std::string::npos ||
           reason.find("internal error") != std::string::npos;
}
} // namespace

std::string containerByMagic(const unsigned char* b, std::size_t n) {
    auto is = [&](const char* magic, std::size_t at = 0) {
        const std::size_t len = std::strlen(magic);
        return n >= at + len && std::memcmp(b + at, magic, len) == 0;
    };
    if ((is("RIFF") || is("RIFX")) && is("WAVE", 8)) {
        return "WAV";
    }
    if (is("RF64") || is("BW64")) {
        return "RF64";
    }
    if (is("riff") && n >= 8 && b[4] == 0x2E && b[5] == 0x91) {
        return "W64";
    }
    if (is("FORM")) {
        return is("8SVX", 8) || is("16SV", 8) ? "8SVX" : "AIFF";
    }
    if (is("fLaC")) {
        return "FLAC";
    }
    if (is("OggS")) {
        return "Ogg";
    }
    if (is(".snd") || is("dns.")) {
        return "AU";
    }
    if (is("caff")) {
        return "CAF";
    }
    if (is("NIST_1A")) {
        return "NIST";
    }
    if (is("Creative Voice File")) {
        return "VOC";
    }
    if (is("ID3")) {
        return "MP3";
    }
    // An MPEG audio frame header: 11 sync bits, a defined version and layer, a
    // bit rate index other than "free"/"bad" and a defined sample rate.
    if (n >= 4 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x18) != 0x08 &&
        (b[1] & 0x06) != 0 && (b[2] & 0xF0) != 0xF0 && (b[2] & 0xF0) != 0 &&
        (b[2] & 0x0C) != 0x0C) {
        return "MP3";
    }
    return {};
}

int copyToTemporaryFile(int descriptor, const std::string& prefix, const std::string& name) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        throw InputError(name + ": cannot create a temporary file to read the stream through: " +
                         std::strerror(errno));
    }
    const int copy = ::dup(::fileno(file));
    std::fclose(file);
    if (copy < 0) {
        throw InputError(name + ": cannot read the stream: " + std::strerror(errno));
    }
    auto fail = [&](const char* what) {
        const int error = errno;
        ::close(copy);
        throw InputError(name + ": " + what + ": " + std::strerror(error));
    };
    auto writeAll = [&](const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t wrote = ::write(copy, data, size);
            if (wrote < 0 && errno != EINTR) {
                fail("cannot copy the stream to a temporary file");
            }
            if (wrote > 0) {
                data += wrote;
                size -= static_cast<std::size_t>(wrote);
            }
        }
    };
    writeAll(prefix.data(), prefix.size());
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("read error");
        }
        writeAll(buffer.data(), static_cast<std::size_t>(got));
    }
    ::lseek(copy, 0, SEEK_SET);
    return copy;
}

SndfileSource::SndfileSource(const std::string& path) {
    info_.name = path;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    }
    struct stat st {};
    ::fstat(fd, &st);
    if (S_ISDIR(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        ::close(fd);
        throw InputError(path + ": cannot open: " +
                         (S_ISDIR(st.st_mode) ? "is a directory" : "a device, not a file"));
    }
    if (!S_ISREG(st.st_mode)) {
        // A pipe: read it to its end first, so that every format is read as
        // from a file (libsndfile cannot decode FLAC from a pipe at all).
        const int pipe = fd;
        try {
            fd = copyToTemporaryFile(pipe, "", path);
        } catch (...) {
            ::close(pipe);
            throw;
        }
        ::close(pipe);
    }
    open(fd);
}

SndfileSource::SndfileSource(int descriptor, const std::string& name) {
    info_.name = name;
    open(descriptor);
}

// A constructor that throws runs no destructor: open() releases what it took.
void SndfileSource::open(int descriptor) {
    try {
        openDescriptor(descriptor);
    } catch (...) {
        release();
        throw;
    }
}

void SndfileSource::release() {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

void SndfileSource::openDescriptor(int descriptor) {
    descriptor_ = descriptor;
    const std::string& name = info_.name;
    struct stat st {};
    ::fstat(descriptor_, &st);
    fileSize_ = st.st_size;
    if (fileSize_ == 0) {
        throw InputError(name + (S_ISREG(st.st_mode) && name != "standard input"
                                     ? ": the file is empty"
                                     : ": no audio (the stream is empty)"));
    }
    unsigned char head[32] = {};
    const ssize_t headSize = ::pread(descriptor_, head, sizeof(head), 0);
    const std::string container =
        containerByMagic(head, headSize > 0 ? static_cast<std::size_t>(headSize) : 0);

    SF_INFO sfInfo{};
    {
        const DecoderMessages::Capture quiet(decoderMessages());
        file_ = sf_open_fd(descriptor_, SFM_READ, &sfInfo, SF_FALSE);
    }
    decoderMessages().takeError(); // header-time warnings say nothing about the audio
    if (file_ == nullptr) {
        const int code = sf_error(nullptr);
        std::string reason = sf_strerror(nullptr);
        if (container.empty()) {
            if (code == SF_ERR_UNRECOGNISED_FORMAT) {
                reason = "not a supported audio format (" + reason + ")";
            }
        } else if (code == SF_ERR_UNSUPPORTED_ENCODING) {
            reason = "unsupported " + container + " encoding (" + reason + ")";
        } else {
            reason = "damaged or cut-short " + container + " data (" + std::to_string(fileSize_) +
                     " bytes)" + (misleading(code, reason) ? "" : ": " + reason);
        }
        throw InputError(name + ": cannot open: " + reason);
    }
    if (sfInfo.channels < 1 || sfInfo.channels > kMaxChannels || sfInfo.samplerate < 1) {
        throw InputError(name + ": corrupt header (" + std::to_string(sfInfo.channels) +
                         " channels at " + std::to_string(sfInfo.samplerate) + " Hz)");
    }
    if (sfInfo.samplerate < kMinRate || sfInfo.samplerate > kMaxRate) {
        throw InputError(name + ": unsupported sample rate (" + std::to_string(sfInfo.samplerate) +
                         " Hz; " + std::to_string(kMinRate) + " to " + std::to_string(kMaxRate) +
                         " Hz are read)");
    }
    major_ = sfInfo.format & SF_FORMAT_TYPEMASK;
    const std::string truncated = truncationIn(file_, major_, sfInfo.frames, descriptor_, fileSize_,
                                               bytesPerSample(sfInfo.format) * sfInfo.channels);
    if (sfInfo.frames <= 0 || !truncated.empty()) {
        throw InputError(name + ": " + (truncated.empty() ? "no audio (0 samples)" : truncated));
    }
    // Integer PCM is read as float scaled by 1/32768 (16 bit) and so on, with no
    // extra normalisation; float files pass through unchanged.
    sf_command(file_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);

    // An Ogg stream cut short has no final page to take its length from;
    // libsndfile then reports the largest count, and reading shows how much is there.
    lengthKnown_ = sfInfo.frames != SF_COUNT_MAX;
    // MP3's length is the decoder's estimate (encoder padding, bit rate): the
    // audio may end a little before it.
    lengthEstimated_ = major_ == SF_FORMAT_MPEG;
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
    stream_ = std::make_unique<MonoStream>(sfInfo.channels, sfInfo.samplerate,
                                           static_cast<std::size_t>(kChunkFrames));
}

SndfileSource::~SndfileSource() {
    release();
}

// libsndfile stops at the end of the first Ogg stream and at the length the
// first MP3's header gives; a second stream after it (`cat a.ogg b.ogg`,
// `cat a.mp3 b.mp3`) would be lost without a word. The decoder reads the file
// up to its end otherwise, so bytes left unread that start another stream are
// refused; so is an MP3 decoder that gave up early on damaged data without
// saying so. A trailing tag (ID3v1) is no audio.
void SndfileSource::checkNothingFollows() {
    if (major_ != SF_FORMAT_OGG && major_ != SF_FORMAT_MPEG) {
        return;
    }
    const off_t position = ::lseek(descriptor_, 0, SEEK_CUR);
    if (position < 0 || position >= fileSize_) {
        return;
    }
    std::string rest(static_cast<std::size_t>(std::min<off_t>(fileSize_ - position, 1 << 16)),
                     '\0');
    const ssize_t got = ::pread(descriptor_, rest.data(), rest.size(), position);
    rest.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::int64_t unread = fileSize_ - position;
    bool another = false;
    if (major_ == SF_FORMAT_OGG) {
        another = rest.find("OggS") != std::string::npos;
    } else {
        if (unread >= 128 && static_cast<std::int64_t>(rest.size()) == unread &&
            rest.compare(rest.size() - 128, 3, "TAG") == 0) {
            rest.resize(rest.size() - 128);
            unread -= 128;
        }
        for (std::size_t i = 0; i + 4 <= rest.size() && !another; ++i) {
            const auto* b = reinterpret_cast<const unsigned char*>(rest.data() + i);
            another = containerByMagic(b, 4) == "MP3";
        }
    }
    if (major_ == SF_FORMAT_MPEG && unread > 0 && framesRead_ < framesAnnounced_) {
        throw InputError(info_.name + ": decoding stopped after " + std::to_string(framesRead_) +
                         " of about " + std::to_string(framesAnnounced_) + " samples with " +
                         std::to_string(unread) + " bytes left: damaged MP3 data");
    }
    if (another) {
        throw InputError(info_.name + ": another stream follows the first one, which ends after " +
                         std::to_string(framesRead_) + " samples (" + std::to_string(unread) +
                         " bytes unread): chained or concatenated streams are not read; convert "
                         "the file to a single stream first");
    }
}

std::size_t SndfileSource::decodeMore() {
    stream_->restart();
    while (stream_->waiting() == 0 && !ended_) {
        sf_count_t got = 0;
        {
            const DecoderMessages::Capture quiet(decoderMessages());
            got = sf_readf_float(file_, interleaved_.data(), kChunkFrames);
        }
        const std::string decoderError = decoderMessages().takeError();
        if (sf_error(file_) != SF_ERR_NO_ERROR || !decoderError.empty()) {
            throw InputError(
                info_.name + ": decoding failed after " + std::to_string(framesRead_) +
                " samples: " + (decoderError.empty() ? sf_strerror(file_) : decoderError));
        }
        if (got <= 0) {
            if (!lengthKnown_) {
                throw InputError(info_.name + ": truncated or corrupt: the stream stops after " +
                                 std::to_string(framesRead_) + " samples without a proper end");
            }
            if (framesRead_ < framesAnnounced_ && !lengthEstimated_) {
                throw InputError(info_.name + ": truncated or corrupt: the audio ends after " +
                                 std::to_string(framesRead_) + " of " +
                                 std::to_string(framesAnnounced_) + " samples");
            }
            checkNothingFollows();
            ended_ = true;
            stream_->finish();
            break;
        }
        framesRead_ += got;
        stream_->add(interleaved_.data(), static_cast<std::size_t>(got));
    }
    return stream_->waiting();
}

std::size_t SndfileSource::read(float* out, std::size_t capacity) {
    if (stream_->waiting() == 0 && decodeMore() == 0) {
        return 0;
    }
    return stream_->take(out, capacity);
}

} // namespace korvala::cli
