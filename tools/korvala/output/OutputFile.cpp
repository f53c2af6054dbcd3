#include "tools/korvala/output/OutputFile.h"

#include "tools/korvala/ToolError.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace korvala::cli {

namespace {
// The temporary's name for the signal handler (which may only call
// async-signal-safe functions): a fixed buffer, empty when nothing is pending.
char pendingTemp[4096];

extern "C" void removeTempAndDie(int signal) {
    if (pendingTemp[0] != '\0') {
        ::unlink(pendingTemp);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void watchSignals() {
    // SIGXFSZ: the file outgrew `ulimit -f`.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
        std::signal(s, removeTempAndDie);
    }
}
} // namespace

OutputFile::OutputFile(const std::string& path, Access access) : path_(path) {
    if (path.empty() || path == "-") {
        if (access == Access::Descriptor) {
            throw InputError("this output needs a file name, not standard output");
        }
        stream_ = stdout;
        display_ = "standard output";
        return;
    }
    display_ = path;
    // A symbolic link is written through: its target is replaced, the link stays.
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path_ = real;
            std::free(real);
        }
    }
    // A device or pipe (/dev/null, /dev/stdout, a FIFO) is written in place:
    // renaming over it would replace the device with a regular file.
    struct stat existing {};
    const bool exists = ::stat(path_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            throw InputError(path + ": cannot create: is a directory");
        }
        if (access == Access::Descriptor) {
            throw InputError(path + ": cannot create: not a regular file");
        }
        stream_ = std::fopen(path_.c_str(), "wb");
        if (stream_ == nullptr) {
            throw InputError(path + ": cannot open: " + std::strerror(errno));
        }
        direct_ = true;
        return;
    }
    temp_ = path_ + ".partial-XXXXXX";
    if (temp_.size() >= sizeof(pendingTemp)) {
        throw InputError(path + ": cannot create: file name too long");
    }
    descriptor_ = ::mkstemp(temp_.data());
    if (descriptor_ < 0) {
        throw InputError(path + ": cannot create: " + std::strerror(errno));
    }
    // A replaced file keeps its permission bits (and, where allowed, its owner);
    // a new one gets what the umask leaves of 0666.
    if (exists) {
        ::fchmod(descriptor_, existing.st_mode & 07777);
        if (::fchown(descriptor_, existing.st_uid, existing.st_gid) != 0) {
            // Not the owner: the file becomes the writer's, as with any new file.
        }
    } else {
        ::fchmod(
            descriptor_, 0666 & ~[] {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                return mask;
            }());
    }
    std::memcpy(pendingTemp, temp_.c_str(), temp_.size() + 1);
    watchSignals();
    owned_ = true;
    if (access == Access::Descriptor) {
        return;
    }
    stream_ = ::fdopen(descriptor_, "wb");
    if (stream_ == nullptr) {
        const int error = errno;
        ::close(descriptor_);
        discard();
        throw InputError(path + ": cannot create: " + std::strerror(error));
    }
    static char buffer[1 << 16];
    std::setvbuf(stream_, buffer, _IOFBF, sizeof(buffer));
}

OutputFile::~OutputFile() {
    if (direct_ && stream_ != nullptr) {
        std::fclose(stream_);
    }
    if (owned_) {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        } else if (!released_) {
            ::close(descriptor_);
        }
        discard();
    }
}

int OutputFile::releaseDescriptor() {
    released_ = true;
    return descriptor_;
}

void OutputFile::discard() {
    ::unlink(temp_.c_str());
    pendingTemp[0] = '\0';
    owned_ = false;
}

void OutputFile::commit() {
    if (direct_) {
        const bool failed = std::ferror(stream_) != 0;
        const int closed = std::fclose(stream_);
        stream_ = nullptr;
        if (failed || closed != 0) {
            throw InputError(display_ + ": write failed: " + std::strerror(errno));
        }
        return;
    }
    if (!owned_) {
        if (std::fflush(stream_) != 0) {
            throw InputError(display_ + ": write failed: " + std::strerror(errno));
        }
        return;
    }
    if (stream_ != nullptr) {
        const bool failed = std::ferror(stream_) != 0;
        const int closed = std::fclose(stream_);
        stream_ = nullptr;
        if (failed || closed != 0) {
            const int error = errno;
            discard();
            throw InputError(display_ + ": write failed: " + std::strerror(error));
        }
    } else if (!released_) {
        ::close(descriptor_);
        released_ = true;
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        discard();
        throw InputError(display_ +
                         ": cannot rename the finished file into place: " + std::strerror(error));
    }
    pendingTemp[0] = '\0';
    owned_ = false;
}

} // namespace korvala::cli

namespace korvala::cli {

void refuseOverwritingInput(const std::string& out, const std::string& input) {
    struct stat in {};
    struct stat target {};
    if (input.empty() || input == "-" || out.empty() || out == "-" ||
        ::stat(input.c_str(), &in) != 0 || ::stat(out.c_str(), &target) != 0) {
        return;
    }
    if (S_ISREG(in.st_mode) && in.st_dev == target.st_dev && in.st_ino == target.st_ino) {
        throw UsageError("--out " + out + ": is the input file " + input +
                         "; writing there would destroy it");
    }
}

} // namespace korvala::cli
