#include "tools/korvala/sources/StandardInput.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/RawStreamSource.h"
#include "tools/korvala/sources/SndfileSource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace korvala::cli {

std::unique_ptr<AudioSource> openStandardInput() {
    const std::string name = "standard input";
    // The first bytes, taken with read(2) so that stdio holds nothing back.
    std::string head(16, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(STDIN_FILENO, head.data() + got, head.size() - got);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw InputError(name + ": read error: " + std::strerror(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    const std::string container =
        containerByMagic(reinterpret_cast<const unsigned char*>(head.data()), head.size());
    if (container.empty()) {
        return std::make_unique<RawStreamSource>(stdin, name, head);
    }
    // A file behind the redirection is read in place; a pipe is copied first.
    const int descriptor = ::lseek(STDIN_FILENO, 0, SEEK_SET) == 0
                               ? ::dup(STDIN_FILENO)
                               : copyToTemporaryFile(STDIN_FILENO, head, name);
    if (descriptor < 0) {
        throw InputError(name + ": cannot read: " + std::strerror(errno));
    }
    return std::make_unique<SndfileSource>(descriptor, name);
}

} // namespace korvala::cli
