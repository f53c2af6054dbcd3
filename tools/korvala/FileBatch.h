#pragma once

// Many inputs at once: each input is worked on in a child process of its own,
// at most `jobs` at a time. A child that fails (an error, or even a crash)
// costs only its own input; the others go on, and every input gives exactly
// what a run on it alone gives.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace korvala::cli {

struct BatchOptions {
    unsigned jobs = 1;
    /// Progress over files on standard error: > 0 always, < 0 never, 0 when
    /// standard error is a terminal.
    int progress = 0;
};

/// The work for input `index`: returns text to hand to `deliver` (may be
/// empty); an exception is reported as one line "korvala: <what>" on
/// standard error and counts the input as failed.
using BatchWork = std::function<std::string(std::size_t index)>;
/// Receives each successful input's text, in input order, as soon as every
/// earlier input is done.
using BatchDeliver = std::function<void(std::size_t index, const std::string& text)>;

/// Runs `work` for each input (`names` are shown when a job dies); returns how many failed.
std::size_t runBatch(const std::vector<std::string>& names, const BatchOptions& options,
                     const BatchWork& work, const BatchDeliver& deliver);

/// The number of cores this process may run on (at least 1).
unsigned availableCores();

/// `dir`/`input`'s file name without its extension, + `suffix`.
std::string outputPathFor(const std::string& dir, const std::string& input,
                          const std::string& suffix);
/// UsageError if two inputs would write the same output path.
void checkDistinctOutputs(const std::vector<std::string>& paths);

} // namespace korvala::cli
