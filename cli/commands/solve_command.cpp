// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "notes_text.h"
#include "report.h"

#include <CLI/CLI.hpp>

#include <array>
#include <tuple>

namespace vistrel::cli {

namespace {

constexpr std::string_view kSolveFooter =
    "Example:\n  vistrel-cli solve --for letter_height_mm --mode illuminance --illuminance_lux 1076 "
    "--letter_factor 0.8 --background_factor 0.2 --age 60 --viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "--min and --max lie within -1e9 and 1e9.\n"
    "Exit status: 0 when solved; 1 when no value in the range is Legible (also when the case cannot be "
    "evaluated) or the output could not be written; 2 for a usage error.";

} // namespace

void addSolveOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("--for", run.solveFor, "Any numeric input: " + solveTargetNames())->required();
    command.add_option("--min", options.texts.min, "Start of the range (default: the input's own; see the manual)");
    command.add_option("--max", options.texts.max, "End of the range (default: the input's own; see the manual)");
    command.add_flag("--json", run.json, "Print JSON: the case at the answer, the answer and the changes");
    options.caseOptions.addTo(command);
    addCaseFileOption(command, options.caseOptions);
    command.footer(easeHelp() + std::string(kSolveFooter));
}

Expected<void> finishSolve(const CLI::App& /*command*/, CommandOptions& options, const NumberText& numbers) {
    Invocation& run = options.run;
    const SolveTarget* target = solveTarget(run.solveFor);
    if (target == nullptr) {
        const std::string near =
            didYouMean(run.solveFor, [](std::string_view name) { return solveTarget(name) != nullptr; });
        if (!near.empty()) {
            return usageError("--for \"" + run.solveFor + "\" is not a numeric input" + near);
        }
        return usageError("--for must be " + solveTargetNames());
    }
    run.solveColumn = *columnIndex(target->name);
    if (auto fixed = options.caseOptions.refuseFixedByEye(run.solveColumn, "--for"); !fixed) {
        return fixed.error();
    }
    if (auto single = refuseSourceList(run.base, run.solveColumn); !single) {
        return usageError("--for " + run.solveFor + ": " + single.error().message);
    }
    run.range = target->range;
    for (auto [option, text, value] : {std::tuple{"--min", &options.texts.min, &run.range.min},
                                       std::tuple{"--max", &options.texts.max, &run.range.max}}) {
        if (!text->empty()) {
            const auto read = readNumber(option, *text, numbers);
            if (!read) {
                return read.error();
            }
            *value = *read;
        }
    }
    if (auto grid = solveGrid(run.range, target->logarithmic); !grid) {
        return grid.error();
    }
    // A slip of the keyboard would otherwise read as "nothing in this range is Legible".
    const std::array<std::size_t, 1> swept{run.solveColumn};
    return refuseMissing(run.base, swept);
}

Expected<int> runSolveCommand(Invocation& run, Console& console, const NumberText& numbers) {
    const SolveResult result = solve(run.base, run.solveColumn, run.range, numbers);
    const SolveAnswer answer = solveAnswer(run.solveFor, result, numbers);
    auto out = Output::open(console, "-");
    if (!out) {
        return out.error();
    }
    std::string text;
    if (run.json) {
        Case at = run.base;
        at.set(run.solveColumn, numbers.plain(answer.value.value_or(result.min)));
        const Evaluation e = evaluate(at, numbers);
        text = solveJson(run.solveFor, result, at, e, numbers);
    } else {
        text = solveText(run.solveFor, result, numbers);
    }
    if (auto written = out->write(text); !written) {
        return written.error();
    }
    return answer.value ? 0 : 1;
}

} // namespace vistrel::cli
