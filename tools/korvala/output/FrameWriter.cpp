#include "tools/korvala/output/FrameWriter.h"

#include "tools/korvala/ToolError.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace korvala::cli {

namespace {
template <typename T> void appendShortest(std::string& out, T value) {
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void appendJsonFloat(std::string& out, float value) {
    if (std::isfinite(value)) {
        appendShortest(out, value);
    } else {
        out += "null";
    }
}

std::string jsonKey(const std::string& name) {
    return "," + nlohmann::json(name).dump() + ":";
}
} // namespace

void appendFloat(std::string& out, float value) {
    appendShortest(out, value);
}
void appendDouble(std::string& out, double value) {
    appendShortest(out, value);
}

StreamFrameWriter::StreamFrameWriter(std::FILE* stream, std::string target)
    : stream_(stream), target_(std::move(target)) {
    line_.reserve(4096);
}

void StreamFrameWriter::writeLine() {
    if (std::fwrite(line_.data(), 1, line_.size(), stream_) != line_.size()) {
        throw InputError(target_ + ": write failed: " + std::strerror(errno));
    }
    line_.clear();
}

void StreamFrameWriter::flush() {
    if (std::fflush(stream_) != 0) {
        throw InputError(target_ + ": write failed: " + std::strerror(errno));
    }
}

void StreamFrameWriter::end() {
    flush();
}

void CsvFrameWriter::begin(const std::vector<std::string>& scalarNames,
                           const std::vector<std::string>&) {
    line_ = "frame,time";
    for (const std::string& name : scalarNames) {
        line_ += ',';
        line_ += name;
    }
    line_ += ",transition\n";
    writeLine();
}

void CsvFrameWriter::frame(const FrameValues& values) {
    appendUnsigned(line_, values.index);
    line_ += ',';
    appendDouble(line_, values.time);
    for (float v : *values.scalars) {
        line_ += ',';
        appendFloat(line_, v);
    }
    line_ += values.transition ? ",1\n" : ",0\n";
    writeLine();
}

void JsonlFrameWriter::begin(const std::vector<std::string>& scalarNames,
                             const std::vector<std::string>& vectorNames) {
    for (const std::string& name : scalarNames) {
        scalarKeys_.push_back(jsonKey(name));
    }
    for (const std::string& name : vectorNames) {
        vectorKeys_.push_back(jsonKey(name));
    }
}

void JsonlFrameWriter::frame(const FrameValues& values) {
    line_ += "{\"frame\":";
    appendUnsigned(line_, values.index);
    line_ += ",\"time\":";
    appendDouble(line_, values.time);
    for (std::size_t i = 0; i < scalarKeys_.size(); ++i) {
        line_ += scalarKeys_[i];
        appendJsonFloat(line_, (*values.scalars)[i]);
    }
    line_ += values.transition ? ",\"transition\":true" : ",\"transition\":false";
    for (std::size_t i = 0; i < vectorKeys_.size(); ++i) {
        line_ += vectorKeys_[i];
        line_ += '[';
        const std::vector<float>& vector = (*values.vectors)[i];
        for (std::size_t j = 0; j < vector.size(); ++j) {
            if (j > 0) {
                line_ += ',';
            }
            appendJsonFloat(line_, vector[j]);
        }
        line_ += ']';
    }
    line_ += "}\n";
    writeLine();
}

void EveryNthFrame::frame(const FrameValues& values) {
    if (values.index % n_ != 0) {
        missedTransition_ = missedTransition_ || values.transition;
        return;
    }
    FrameValues passed = values;
    passed.transition = values.transition || missedTransition_;
    missedTransition_ = false;
    next_.frame(passed);
}

} // namespace korvala::cli
