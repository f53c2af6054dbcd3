#pragma once

// An output file that appears under its name only once complete: written to a
// temporary name in the same directory and renamed on commit. An abandoned,
// failed or interrupted (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ) run removes
// the temporary. A replaced file keeps its permission bits; a symbolic link is
// written through (its target is replaced); a file with other hard links is
// replaced by a new one under this name, the other names keep the old content.
// An existing device or pipe (/dev/null, a FIFO) is written directly instead.

#include <cstdio>
#include <string>

namespace korvala::cli {

class OutputFile {
public:
    enum class Access { Stream, Descriptor };
    /// "-" or "" is standard output (nothing to rename). Otherwise creates the
    /// temporary, opened as a stdio stream or left as a bare descriptor for a
    /// writer that takes it over; InputError naming `path` if that is impossible.
    explicit OutputFile(const std::string& path, Access access = Access::Stream);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() const { return stream_; }
    /// Hands the temporary's descriptor to a writer that will close it (Descriptor access).
    int releaseDescriptor();
    /// Closes the stream (if still open here) and moves the temporary to the final name.
    void commit();
    const std::string& name() const { return display_; }

private:
    void discard();

    std::string path_;
    std::string temp_;
    std::string display_;
    std::FILE* stream_ = nullptr;
    int descriptor_ = -1;
    bool owned_ = false;
    bool released_ = false;
    bool direct_ = false; ///< an existing device or pipe, written in place
};

/// UsageError when `out` is the same file as `input` (also through a link).
void refuseOverwritingInput(const std::string& out, const std::string& input);

} // namespace korvala::cli
