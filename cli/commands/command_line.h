// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The arguments of vistrel-cli, read and checked before anything is run.

#include "analysis/cases.h"
#include "analysis/explore.h"
#include "plot_points.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

enum class Command { Eval, Batch, Solve, Sweep, Check, Conditions, Tolerance, Report };

struct Invocation {
    Command command = Command::Eval;
    Case base; // the case options of eval, solve and sweep
    bool json = false;
    // batch and conditions (sweep always): a ' before CSV text a spreadsheet would run
    bool guardFormulas = true;
    bool keepUnknown = false; // batch: pass columns that are no input through
    char delimiter = 0;       // batch: the input's separator; 0 to detect it
    std::string input;        // batch, conditions and report
    std::string output;       // batch and sweep; empty for stdout
    std::string plot;         // sweep
    bool logX = false;        // sweep --plot
    plot::Size plotSize;
    std::string solveFor;
    std::size_t solveColumn = 0;
    SolveRange range{};
    SweepSpec sweep;
    std::vector<std::string> profiles;   // check, batch and report
    std::string conditions;              // empty for the default conditions
    std::vector<std::string> tolerances; // NAME=SPREAD, as given
    std::uint64_t samples = 100'000;
    std::uint64_t seed = 1;
    unsigned threads = 0; // every core
    std::string title;    // report

    [[nodiscard]] std::string_view name() const;
};

inline constexpr int kUsageError = 2;

struct ParsedCommandLine {
    std::optional<Invocation> invocation; // set when there is a command to run
    int status = 0;                       // the exit status otherwise
    std::string out;                      // help or version text, for stdout
    std::string err;                      // a usage error, for stderr
};

// args[0] is the program's name.
ParsedCommandLine parseCommandLine(std::span<const std::string> args, const NumberText& numbers);

// The text with control characters and escape sequences shown as \xNN, so
// that a header, cell or path cannot drive the terminal a message goes to.
std::string escaped(std::string_view text);
// The same line by line, for a table shown on a terminal: the line ends stay.
std::string escapedLines(std::string_view text);

// "vistrel-cli COMMAND: message" and where to read more; the usage status.
std::string usageMessage(std::string_view command, std::string_view message);

} // namespace vistrel::cli
