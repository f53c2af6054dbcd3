#include "tools/korvala/report/EmbeddedAudio.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korvala::cli {

namespace {
EmbeddedAudio& self(void* user) {
    return *static_cast<EmbeddedAudio*>(user);
}

sf_count_t length(void* user) {
    return static_cast<sf_count_t>(self(user).bytes_.size());
}

sf_count_t seekTo(sf_count_t offset, int whence, void* user) {
    EmbeddedAudio& a = self(user);
    const long long base = whence == SEEK_CUR   ? a.position_
                           : whence == SEEK_END ? static_cast<long long>(a.bytes_.size())
                                                : 0;
    a.position_ = std::max(0LL, base + static_cast<long long>(offset));
    return a.position_;
}

sf_count_t readFrom(void* out, sf_count_t count, void* user) {
    EmbeddedAudio& a = self(user);
    const long long size = static_cast<long long>(a.bytes_.size());
    const long long n = std::max(0LL, std::min<long long>(count, size - a.position_));
    if (n > 0) {
        std::memcpy(out, a.bytes_.data() + a.position_, static_cast<std::size_t>(n));
    }
    a.position_ += n;
    return n;
}

sf_count_t writeTo(const void* in, sf_count_t count, void* user) {
    EmbeddedAudio& a = self(user);
    const auto end = static_cast<std::size_t>(a.position_ + count);
    if (end > a.bytes_.size()) {
        a.bytes_.resize(end);
    }
    std::memcpy(&a.bytes_[static_cast<std::size_t>(a.position_)], in,
                static_cast<std::size_t>(count));
    a.position_ += count;
    return count;
}

std::string megabytes(std::size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

sf_count_t tell(void* user) {
    return self(user).position_;
}
} // namespace

EmbeddedAudio::EmbeddedAudio(std::size_t capBytes) : cap_(capBytes) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    static SF_VIRTUAL_IO io{length, seekTo, readFrom, writeTo, tell};
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, this);
    if (file == nullptr) {
        problem_ = std::string("the Ogg Vorbis encoder is not available: ") + sf_strerror(nullptr);
        return;
    }
    double quality = kQuality;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    file_ = file;
}

EmbeddedAudio::~EmbeddedAudio() {
    if (file_ != nullptr) {
        sf_close(static_cast<SNDFILE*>(file_));
    }
}

void EmbeddedAudio::stop(const std::string& why) {
    if (file_ != nullptr) {
        sf_close(static_cast<SNDFILE*>(file_));
        file_ = nullptr;
    }
    bytes_.clear();
    bytes_.shrink_to_fit();
    problem_ = why;
}

void EmbeddedAudio::add(const float* samples, std::size_t count) {
    if (file_ == nullptr || count == 0) {
        return;
    }
    if (sf_writef_float(static_cast<SNDFILE*>(file_), samples, static_cast<sf_count_t>(count)) !=
        static_cast<sf_count_t>(count)) {
        stop(std::string("encoding failed: ") + sf_strerror(static_cast<SNDFILE*>(file_)));
        return;
    }
    if (bytes_.size() > cap_) {
        overCap_ = true;
        stop("the compressed audio grew past the cap of " + megabytes(cap_) + " (--audio-cap)");
    }
}

void EmbeddedAudio::finish() {
    if (file_ == nullptr) {
        return;
    }
    sf_close(static_cast<SNDFILE*>(file_));
    file_ = nullptr;
    if (bytes_.size() > cap_) {
        overCap_ = true;
        stop("the compressed audio is larger than the cap of " + megabytes(cap_) +
             " (--audio-cap)");
    }
}

} // namespace korvala::cli
