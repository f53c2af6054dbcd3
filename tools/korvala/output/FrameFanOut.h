#pragma once

// Hands every frame to several sinks, each seeing only the columns it asked
// for, in the order it asked for them.

#include "tools/korvala/output/FrameSink.h"

#include <string>
#include <vector>

namespace korvala::cli {

class FrameFanOut : public FrameSink {
public:
    /// Adds `sink`, which wants these scalars and vectors (kept by reference:
    /// it must outlive the run).
    void add(FrameSink& sink, std::vector<std::string> scalars, std::vector<std::string> vectors);
    /// Every name some sink wants, byte-wise ascending, once each: the columns
    /// the run must hand to this fan-out.
    std::vector<std::string> scalarNames() const;
    std::vector<std::string> vectorNames() const;

    /// The names must include every name a sink wants.
    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override;
    void frame(const FrameValues& values) override;
    void flush() override;
    void end() override;

private:
    struct Branch {
        FrameSink* sink;
        std::vector<std::string> scalars;
        std::vector<std::string> vectors;
        std::vector<std::size_t>
            scalarIndex; ///< position of each wanted scalar in the run's columns
        std::vector<std::size_t> vectorIndex;
        std::vector<float> scalarValues;
        std::vector<std::vector<float>> vectorValues;
    };
    std::vector<Branch> branches_;
};

} // namespace korvala::cli
