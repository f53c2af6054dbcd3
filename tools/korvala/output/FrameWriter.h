#pragma once

// Frame sinks that print: CSV and JSON Lines, and a filter that keeps every
// Nth frame. Floats are printed in the shortest form that reads back to the
// same bits.

#include "tools/korvala/output/FrameSink.h"

#include <cstdio>
#include <memory>
#include <string>

namespace korvala::cli {

/// Appends the shortest text that reads back to exactly `value` ("nan", "inf"
/// and "-inf" for the non-finite values).
void appendFloat(std::string& out, float value);
/// The same for a double.
void appendDouble(std::string& out, double value);

/// Writes rows to a stdio stream; a failed write raises InputError naming `target`.
class StreamFrameWriter : public FrameSink {
public:
    StreamFrameWriter(std::FILE* stream, std::string target);
    void flush() override;
    void end() override;

protected:
    void writeLine();
    std::string line_;

private:
    std::FILE* stream_;
    std::string target_;
};

/// "frame,time,<scalar names>,transition", then one row per frame.
class CsvFrameWriter : public StreamFrameWriter {
public:
    using StreamFrameWriter::StreamFrameWriter;
    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
};

/// One JSON object per line: "frame", "time", each scalar, "transition" (a
/// boolean), then each vector as an array. Non-finite floats print as null.
class JsonlFrameWriter : public StreamFrameWriter {
public:
    using StreamFrameWriter::StreamFrameWriter;
    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;

private:
    std::vector<std::string> scalarKeys_; ///< ,"name": ready to append
    std::vector<std::string> vectorKeys_;
};

/// Passes frames 0, N, 2N, … to `next`; a passed frame reports a transition if
/// one fired in it or in any frame dropped since the previous passed frame.
class EveryNthFrame : public FrameSink {
public:
    EveryNthFrame(std::uint64_t n, FrameSink& next) : n_(n), next_(next) {}
    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override {
        next_.begin(scalarNames, vectorNames);
    }
    void frame(const FrameValues& values) override;
    void flush() override { next_.flush(); }
    void end() override { next_.end(); }

private:
    std::uint64_t n_;
    FrameSink& next_;
    bool missedTransition_ = false;
};

} // namespace korvala::cli
