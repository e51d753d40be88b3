// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "notes_text.h"
#include "report.h"

#include <CLI/CLI.hpp>

namespace vistrel::cli {

namespace {

constexpr std::string_view kEvalFooter =
    "Example:\n  vistrel-cli eval --mode illuminance --illuminance_lux 1076 --letter_factor 0.8 "
    "--background_factor 0.2 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "Exit status: 0 with a verdict; 1 when the case ended with a message or the output could not be "
    "written; 2 for a usage error.";

} // namespace

void addEvalOptions(CLI::App& command, CommandOptions& options) {
    command.footer(easeHelp() + std::string(kEvalFooter));
    options.caseOptions.addTo(command);
    addCaseFileOption(command, options.caseOptions);
    command.add_flag("--json", options.run.json,
                     "Print one JSON object: inputs, outputs, verdict, message, margin_log");
}

Expected<void> finishEval(const CLI::App& /*command*/, CommandOptions& options, const NumberText& /*numbers*/) {
    return refuseMissing(options.run.base);
}

Expected<int> runEvalCommand(Invocation& run, Console& console, const NumberText& numbers) {
    Evaluation e = evaluate(run.base, numbers);
    addNotes(run.base, e, numbers);
    auto out = Output::open(console, "-");
    if (!out) {
        return out.error();
    }
    if (auto written = out->write(run.json ? evaluationJson(run.base, e, numbers) : evaluationTable(run.base, e));
        !written) {
        return written.error();
    }
    return e.hasVerdict() ? 0 : 1;
}

} // namespace vistrel::cli
