// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands that judge a design beyond one verdict: under several
// conditions, against standards profiles, and across input tolerances.

#include "batch.h"
#include "command_line.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel::cli {

// What a command produced: the report for stdout, a table for -o, and why
// it failed, when it did.
struct CommandResult {
    int status = 0;
    std::string out;
    std::string table; // conditions: the full table, for -o (or stdout before the report)
    std::string error;
    bool usageError = false;
    std::string tornado; // tolerance: the plotter's input for --plot
};

// The folder this program runs from, where its data is looked up.
[[nodiscard]] std::filesystem::path programDir();

CommandResult runCheck(Invocation& run, const NumberText& numbers);
CommandResult runConditions(const Invocation& run, const NumberText& numbers);
CommandResult runTolerance(const Invocation& run, const NumberText& numbers);

// batch --profile: one column per criterion and failed_checks. Loads every
// profile once to refuse a bad one before anything is written; error says why.
[[nodiscard]] ExtraColumnsFactory profileColumns(const std::vector<std::string>& names, const NumberText& numbers,
                                                 std::string& error);

} // namespace vistrel::cli
