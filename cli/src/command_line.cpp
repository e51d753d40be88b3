// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "plotter.h"
#include "vistrel/version.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstdio>
#include <sstream>

namespace vistrel::cli {

namespace {

// The case options every command but batch takes: --name value, one per column.
struct CaseOptions {
    std::array<std::string, kColumns.size()> values;
    std::array<CLI::Option*, kColumns.size()> options{};

    void addTo(CLI::App& app) {
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            const std::string name(kColumns[k].name);
            const std::string help = k == 0 ? "input mode: " + std::string(kModeChoices)
                                            : "the text of " + std::string(vistrel::fieldName(*kColumns[k].field));
            options[k] = app.add_option("--" + name, values[k], help)->group(isDaylightColumn(k) ? "Daylight" : "Case");
        }
    }

    // The case as given; throws a usage error for a bad mode.
    [[nodiscard]] Case build() const {
        Case c;
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            if (options[k]->count() > 0 && !c.set(k, values[k])) {
                throw CLI::ValidationError("--mode", "must be " + std::string(kModeChoices));
            }
        }
        return c;
    }
};

// An option's number, read as strictly as a field's text.
std::optional<std::string> readNumber(std::string_view option, const std::string& text, double& value,
                                      const NumberText& numbers) {
    const ParsedNumber parsed = numbers.parse(text);
    if (!parsed.ok()) {
        return std::string(option) + " \"" + text + "\" is not a number";
    }
    value = parsed.value;
    return std::nullopt;
}

// A byte sequence's length when it is valid UTF-8 at the start of text, else 0.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const unsigned char second = length > 1 ? byte(1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90)) {
        return 0; // overlong, a surrogate, or beyond U+10FFFF
    }
    return length;
}

constexpr std::string_view kEvalFooter =
    "Example:\n  vistrel-cli eval --mode illuminance --illuminance_lux 1076 --letter_factor 0.8 "
    "--background_factor 0.2 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 "
    "--ease \"90% confidence\"\nExit status: 0 with a verdict, 1 when the case ended with a message or the "
    "output could not be written, 2 for a usage error.";
constexpr std::string_view kBatchFooter =
    "Columns: the names of the eval options, in any order; message and margin_log are added.\n"
    "A record may hold at most 4 MiB and 4096 cells; a longer one is reported as unreadable.\n"
    "Example:\n  vistrel-cli batch designs.csv -o results.csv\n"
    "Exit status: 0 when every row was read, 1 when some row could not be read or the input or output "
    "failed, 2 for a usage error.";
constexpr std::string_view kSolveFooter =
    "Example:\n  vistrel-cli solve --for letter_height_mm --mode illuminance --illuminance_lux 1076 "
    "--letter_factor 0.8 --background_factor 0.2 --age 60 --viewing_distance_mm 750 --ratio 7 "
    "--ease \"90% confidence\"\n--min and --max lie within -1e9 and 1e9.\n"
    "Exit status: 0 when solved, 1 when the output could not be written, 2 for a usage error.";
constexpr std::string_view kSweepFooter =
    "Example:\n  vistrel-cli sweep --vary viewing_distance_mm=300:3000:10 --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 40 "
    "--letter_height_mm 6 --ratio 7 --ease \"90% confidence\" -o sweep.csv --plot sweep.svg\n"
    "At most 1000000 steps. Exit status: 0 when written, 1 when the output or the plot failed, 2 for a "
    "usage error or a missing vistrel-plot.";

constexpr std::string_view kCheckFooter =
    "Example:\n  vistrel-cli check --profile text-legibility --profile faa-distance --mode luminance "
    "--letter_cdm2 500 --background_cdm2 10 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 "
    "--ease \"90% confidence\" --ambient_lux 5000 --display_reflectance 0.02\n"
    "Exit status: 0 when every required criterion passes, 1 otherwise, 2 for a usage error or a bad profile.";
constexpr std::string_view kConditionsFooter =
    "A condition is a named row (column condition; a comment column is ignored) whose non-empty cells "
    "override the design's.\nExample:\n  vistrel-cli conditions designs.csv --conditions day.csv -o all.csv\n"
    "Exit status: 0 when every design is legible under every condition, 1 otherwise, 2 for a usage error.";
constexpr std::string_view kToleranceFooter =
    "SPREAD: +-X or ±X, +-X% or ±X%, normal:SD, normal:MEAN:SD, uniform:LO:HI, triangular:LO:MODE:HI.\n"
    "Example:\n  vistrel-cli tolerance --tol age=normal:45:12 --tol illuminance_lux=±10% --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 45 --letter_height_mm 6 "
    "--viewing_distance_mm 750 --ratio 7 --ease \"90% confidence\"\n"
    "Exit status: 0 when the analysis ran, 1 when the output could not be written, 2 for a usage error.";

} // namespace

std::string_view Invocation::name() const {
    constexpr std::array<std::string_view, 7> kNames{"eval",  "batch",      "solve",    "sweep",
                                                     "check", "conditions", "tolerance"};
    return kNames[static_cast<std::size_t>(command)];
}

std::string escaped(std::string_view text) {
    std::string out;
    const auto hex = [&](unsigned char c) {
        std::array<char, 5> code{};
        std::snprintf(code.data(), code.size(), "\\x%02X", c);
        out += code.data();
    };
    while (!text.empty()) {
        const std::size_t length = utf8Length(text);
        const auto lead = static_cast<unsigned char>(text[0]);
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            hex(lead);
            text.remove_prefix(1);
            continue;
        }
        if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            hex(lead); // C1 controls, such as the one-byte CSI
            hex(static_cast<unsigned char>(text[1]));
        } else {
            out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string usageMessage(std::string_view command, std::string_view message) {
    return "vistrel-cli " + std::string(command) + ": " + escaped(message) + "\nRun 'vistrel-cli " +
           std::string(command) + " --help' for more information.\n";
}

ParsedCommandLine parseCommandLine(std::span<const std::string> args, const NumberText& numbers) {
    CLI::App app{"vistrel-cli: judges whether display lettering can be read, for one case or many.\n"
                 "Every value is a field's text as typed in the window, with a point as decimal separator.",
                 "vistrel-cli"};
    app.set_version_flag("--version", "vistrel-cli " VISTREL_VERSION);
    app.require_subcommand(1);

    Invocation run;
    CaseOptions evalCase;
    auto* eval = app.add_subcommand("eval", "Evaluate one case");
    eval->footer(std::string(kEvalFooter));
    evalCase.addTo(*eval);
    eval->add_flag("--json", run.json, "Print one JSON object keyed by the column names");

    auto* batch = app.add_subcommand("batch", "Evaluate every row of a CSV file of cases");
    batch->add_option("input", run.input, "CSV with a header row of column names; - for stdin")->required();
    batch->add_option("-o,--output", run.output, "Where to write the results; - or nothing for stdout");
    batch->add_option("--profile", run.profiles, "Add a column per criterion of a profile, and failed_checks");
    batch->footer(std::string(kBatchFooter));

    CaseOptions solveCase;
    std::string solveMin;
    std::string solveMax;
    auto* solveCmd = app.add_subcommand("solve", "Find where the verdict changes as one input varies");
    solveCmd->add_option("--for", run.solveFor, "Any numeric input: " + solveTargetNames())->required();
    solveCmd->add_option("--min", solveMin, "Start of the range (default: the input's own; see the manual)");
    solveCmd->add_option("--max", solveMax, "End of the range (default: the input's own; see the manual)");
    solveCmd->add_flag("--json", run.json, "Print JSON");
    solveCase.addTo(*solveCmd);
    solveCmd->footer(std::string(kSolveFooter));

    CaseOptions sweepCase;
    std::string vary;
    auto* sweepCmd = app.add_subcommand("sweep", "Evaluate a case across a range of one input");
    sweepCmd->add_option("--vary", vary, "NAME=FROM:TO:STEP")->required();
    sweepCmd->add_option("-o,--output", run.output, "Where to write the CSV; - or nothing for stdout");
    sweepCmd->add_option("--plot", run.plot, "Draw the contrasts against the varied input to an .svg or .png");
    sweepCase.addTo(*sweepCmd);
    sweepCmd->footer(std::string(kSweepFooter));

    CaseOptions checkCase;
    auto* checkCmd = app.add_subcommand("check", "Check one case against standards profiles");
    checkCmd->add_option("--profile", run.profiles, "A built-in profile's name or a .toml file; repeatable")
        ->required();
    checkCmd->add_flag("--json", run.json, "Print JSON");
    checkCase.addTo(*checkCmd);
    checkCmd->footer(std::string(kCheckFooter));

    auto* conditionsCmd = app.add_subcommand("conditions", "Evaluate every design under every condition");
    conditionsCmd->add_option("designs", run.input, "CSV of designs, as for batch; a design column names them")
        ->required();
    conditionsCmd->add_option("--conditions", run.conditions, "CSV of named conditions (default: the shipped one)");
    conditionsCmd->add_option("-o,--output", run.output, "Where to write the full table; - or nothing for stdout");
    conditionsCmd->footer(std::string(kConditionsFooter));

    CaseOptions toleranceCase;
    auto* toleranceCmd = app.add_subcommand("tolerance", "How sure the verdict is when inputs spread");
    toleranceCmd->add_option("--tol", run.tolerances, "NAME=SPREAD; repeatable (see below)")->required();
    toleranceCmd->add_option("--samples", run.samples, "Monte Carlo samples (default 100000)")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{100'000'000}));
    toleranceCmd->add_option("--seed", run.seed, "Seed of the draws (default 1)");
    toleranceCmd->add_option("--threads", run.threads, "Worker threads (default: every core)")
        ->check(CLI::Range(1U, 256U));
    toleranceCmd->add_flag("--json", run.json, "Print JSON");
    toleranceCmd->add_option("--plot", run.plot, "Draw the tornado ranking to an .svg or .png");
    toleranceCase.addTo(*toleranceCmd);
    toleranceCmd->footer(std::string(kToleranceFooter));

    ParsedCommandLine result;
    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    const auto fail = [&](std::string_view command, const std::string& message) {
        result.status = kUsageError;
        result.err = usageMessage(command, message);
        return result;
    };
    try {
        app.parse(reversed);
        if (eval->parsed()) {
            run.command = Command::Eval;
            run.base = evalCase.build();
        } else if (batch->parsed()) {
            run.command = Command::Batch;
        } else if (solveCmd->parsed()) {
            run.command = Command::Solve;
            run.base = solveCase.build();
            const SolveTarget* target = solveTarget(run.solveFor);
            if (target == nullptr) {
                return fail("solve", "--for must be " + solveTargetNames());
            }
            run.solveColumn = *columnIndex(target->name);
            run.range = target->range;
            for (auto [option, text, value] :
                 {std::tuple{"--min", &solveMin, &run.range.min}, std::tuple{"--max", &solveMax, &run.range.max}}) {
                if (!text->empty()) {
                    if (const auto error = readNumber(option, *text, *value, numbers)) {
                        return fail("solve", *error);
                    }
                }
            }
            SolveGrid grid{};
            if (const auto error = solveGrid(run.range, grid, target->logarithmic)) {
                return fail("solve", *error);
            }
        } else if (checkCmd->parsed()) {
            run.command = Command::Check;
            run.base = checkCase.build();
        } else if (conditionsCmd->parsed()) {
            run.command = Command::Conditions;
        } else if (toleranceCmd->parsed()) {
            run.command = Command::Tolerance;
            run.base = toleranceCase.build();
            if (!run.plot.empty() && !plotFormatSupported(run.plot)) {
                return fail("tolerance", "--plot must end in .svg or .png");
            }
        } else {
            run.command = Command::Sweep;
            run.base = sweepCase.build();
            if (const auto error = parseSweepSpec(vary, run.sweep, numbers)) {
                return fail("sweep", *error);
            }
            if (!run.plot.empty() && !plotFormatSupported(run.plot)) {
                return fail("sweep", "--plot must end in .svg or .png");
            }
        }
    } catch (const CLI::CallForHelp& e) {
        std::ostringstream out;
        std::ostringstream err;
        result.status = app.exit(e, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    } catch (const CLI::CallForAllHelp& e) {
        std::ostringstream out;
        std::ostringstream err;
        result.status = app.exit(e, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    } catch (const CLI::CallForVersion& e) {
        std::ostringstream out;
        std::ostringstream err;
        result.status = app.exit(e, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    } catch (const CLI::Error& e) {
        result.status = kUsageError;
        result.err = "vistrel-cli: " + escaped(e.what()) + "\nRun 'vistrel-cli --help' for more information.\n";
        return result;
    }
    result.invocation = std::move(run);
    return result;
}

} // namespace vistrel::cli
