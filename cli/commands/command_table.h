// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands of vistrel-cli, one row each: adding a command is one file
// with its three functions and one row in kCommands.

#include "command_line.h"
#include "console.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vistrel::cli {

struct CommandRow {
    Command id;
    std::string_view name;
    std::string_view summary;
    // Adds the command's options to its subcommand, bound to options.
    void (*addOptions)(CLI::App& command, CommandOptions& options);
    // Checks what was parsed and completes options.run; a usage error when it cannot run.
    Expected<void> (*finish)(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
    // Runs it: the exit status, or why it failed.
    Expected<int> (*run)(Invocation& run, Console& console, const NumberText& numbers);
};

void addEvalOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishEval(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runEvalCommand(Invocation& run, Console& console, const NumberText& numbers);

void addBatchOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishBatch(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runBatchCommand(Invocation& run, Console& console, const NumberText& numbers);

void addSolveOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishSolve(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runSolveCommand(Invocation& run, Console& console, const NumberText& numbers);

void addSweepOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishSweep(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runSweepCommand(Invocation& run, Console& console, const NumberText& numbers);

void addCheckOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishCheck(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runCheckCommand(Invocation& run, Console& console, const NumberText& numbers);

void addConditionsOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishConditions(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runConditionsCommand(Invocation& run, Console& console, const NumberText& numbers);

void addToleranceOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishTolerance(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runToleranceCommand(Invocation& run, Console& console, const NumberText& numbers);

void addReportOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishReport(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runReportCommand(Invocation& run, Console& console, const NumberText& numbers);

void addScreenOptions(CLI::App& command, CommandOptions& options);
Expected<void> finishScreen(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
Expected<int> runScreenCommand(Invocation& run, Console& console, const NumberText& numbers);

inline constexpr std::size_t kCommandCount = static_cast<std::size_t>(Command::Count);

inline constexpr std::array<CommandRow, kCommandCount> kCommands{{
    {Command::Eval, "eval", "Evaluate one case", addEvalOptions, finishEval, runEvalCommand},
    {Command::Batch, "batch", "Evaluate every row of a CSV file of cases", addBatchOptions, finishBatch,
     runBatchCommand},
    {Command::Solve, "solve", "Find where the verdict changes as one input varies", addSolveOptions, finishSolve,
     runSolveCommand},
    {Command::Sweep, "sweep", "Evaluate a case across a range of one input", addSweepOptions, finishSweep,
     runSweepCommand},
    {Command::Check, "check", "Check one case against standards profiles", addCheckOptions, finishCheck,
     runCheckCommand},
    {Command::Conditions, "conditions", "Evaluate every design under every condition", addConditionsOptions,
     finishConditions, runConditionsCommand},
    {Command::Tolerance, "tolerance", "How sure the verdict is when inputs spread", addToleranceOptions,
     finishTolerance, runToleranceCommand},
    {Command::Report, "report", "Write a design review of every design to HTML or PDF", addReportOptions, finishReport,
     runReportCommand},
    {Command::Screen, "screen", "Judge every text of a screen image and draw a legibility map", addScreenOptions,
     finishScreen, runScreenCommand},
}};

// Every row named, each at its command's place: a command left out does not
// compile, nor does a short row (-Wmissing-field-initializers is an error).
// Function addresses are not compared here: sanitizer builds cannot fold them.
constexpr bool rowsInOrder() {
    for (std::size_t k = 0; k < kCommands.size(); ++k) {
        if (static_cast<std::size_t>(kCommands[k].id) != k || kCommands[k].name.empty()) {
            return false;
        }
    }
    return true;
}
static_assert(rowsInOrder(), "kCommands needs one row per Command, in the enum's order");

inline const CommandRow& commandRow(Command c) { return kCommands[static_cast<std::size_t>(c)]; }

// What the arguments ask for: a command to run, or help or the version to print.
struct Request {
    std::optional<Invocation> invocation;
    std::string help; // for stdout, with status 0, when nothing is run
};
struct ParsedCommandLine {
    Expected<Request> request;
    std::string_view command; // whose usage error it is; empty for vistrel-cli itself
};

// args[0] is the program's name.
ParsedCommandLine parseCommandLine(std::span<const std::string> args, const NumberText& numbers);

// Every file the command reads, "-" for stdin: designs or cases, conditions
// (the shipped ones unless given) and profiles (a built-in name is its file).
std::vector<std::string> inputFiles(const Invocation& run, const std::filesystem::path& programDir);

// True for a run that reads a screen image: screen, and report --screen.
[[nodiscard]] bool needsScreenJudge(const Invocation& run);

// Parses args, runs the command and writes its error: the exit status.
// Without judge, a run that needs one becomes vistrel-screen with the same
// args, found beside the program or in ../libexec/vistrel.
int runCommandLine(std::span<const std::string> args, Console& console, const NumberText& numbers,
                   ScreenJudge judge = nullptr);

// main: the standard streams made safe, the run, and stdout's close checked.
int runProgram(int argc, char** argv, ScreenJudge judge);

} // namespace vistrel::cli
