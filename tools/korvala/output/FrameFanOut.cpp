#include "tools/korvala/output/FrameFanOut.h"

#include <algorithm>
#include <stdexcept>

namespace korvala::cli {

namespace {
std::vector<std::string> unionOf(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::size_t> positions(const std::vector<std::string>& wanted,
                                   const std::vector<std::string>& columns) {
    std::vector<std::size_t> index;
    for (const std::string& name : wanted) {
        const auto at = std::find(columns.begin(), columns.end(), name);
        if (at == columns.end()) {
            throw std::logic_error("frame fan-out: no column " + name);
        }
        index.push_back(static_cast<std::size_t>(at - columns.begin()));
    }
    return index;
}
} // namespace

void FrameFanOut::add(FrameSink& sink, std::vector<std::string> scalars,
                      std::vector<std::string> vectors) {
    branches_.push_back(Branch{&sink, std::move(scalars), std::move(vectors), {}, {}, {}, {}});
}

std::vector<std::string> FrameFanOut::scalarNames() const {
    std::vector<std::string> names;
    for (const Branch& branch : branches_) {
        names.insert(names.end(), branch.scalars.begin(), branch.scalars.end());
    }
    return unionOf(std::move(names));
}

std::vector<std::string> FrameFanOut::vectorNames() const {
    std::vector<std::string> names;
    for (const Branch& branch : branches_) {
        names.insert(names.end(), branch.vectors.begin(), branch.vectors.end());
    }
    return unionOf(std::move(names));
}

void FrameFanOut::begin(const std::vector<std::string>& scalarNames,
                        const std::vector<std::string>& vectorNames) {
    for (Branch& branch : branches_) {
        branch.scalarIndex = positions(branch.scalars, scalarNames);
        branch.vectorIndex = positions(branch.vectors, vectorNames);
        branch.scalarValues.assign(branch.scalars.size(), 0.0f);
        branch.vectorValues.assign(branch.vectors.size(), {});
        branch.sink->begin(branch.scalars, branch.vectors);
    }
}

void FrameFanOut::frame(const FrameValues& values) {
    for (Branch& branch : branches_) {
        for (std::size_t i = 0; i < branch.scalarIndex.size(); ++i) {
            branch.scalarValues[i] = (*values.scalars)[branch.scalarIndex[i]];
        }
        for (std::size_t i = 0; i < branch.vectorIndex.size(); ++i) {
            branch.vectorValues[i] = (*values.vectors)[branch.vectorIndex[i]];
        }
        FrameValues projected = values;
        projected.scalars = &branch.scalarValues;
        projected.vectors = &branch.vectorValues;
        branch.sink->frame(projected);
    }
}

void FrameFanOut::flush() {
    for (Branch& branch : branches_) {
        branch.sink->flush();
    }
}

void FrameFanOut::end() {
    for (Branch& branch : branches_) {
        branch.sink->end();
    }
}

} // namespace korvala::cli
