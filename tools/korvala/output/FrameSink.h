#pragma once

// The receiving end of an analysis run: one call per frame with its values.

#include <cstdint>
#include <string>
#include <vector>

namespace korvala::cli {

/// The values of one frame, in the column order the sink was begun with.
struct FrameValues {
    std::uint64_t index = 0;
    double time = 0.0;                           ///< t_k in seconds
    std::uint64_t blocks = 0;                    ///< blocks pushed before this frame's update
    bool transition = false;                     ///< the engine fired a transition
    const std::vector<float>* scalars = nullptr; ///< one per selected scalar name
    const std::vector<std::vector<float>>* vectors = nullptr; ///< one per selected vector name
};

/// Receives the frames of a run: begin once with the column names, then frame
/// per frame, flush when the run wants output to reach the reader now, end once.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void begin(const std::vector<std::string>& scalarNames,
                       const std::vector<std::string>& vectorNames) = 0;
    virtual void frame(const FrameValues& values) = 0;
    virtual void flush() {}
    virtual void end() {}
};

} // namespace korvala::cli
