#pragma once

// Subcommands that live in files of their own: each registers its options on
// the application and returns a function that runs it once parsing succeeded.
// The functions return the exit status and throw UsageError / InputError.

#include <CLI/CLI.hpp>

#include <functional>

namespace korvala::cli {

using CommandRun = std::function<int()>;

/// `korvala list`: every component explained.
CommandRun addListCommand(CLI::App& app);
/// `korvala events FILE…`: beat, onset and transition times.
CommandRun addEventsCommand(CLI::App& app);
/// `korvala summary FILE…`: one row per file.
CommandRun addSummaryCommand(CLI::App& app);

} // namespace korvala::cli
