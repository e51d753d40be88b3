// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "plotter.h"
#include "vistrel/version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <system_error>

namespace vistrel::cli {

namespace {

std::string easeLevelList() {
    std::string list;
    for (std::size_t k = 0; k < kEaseLevels.size(); ++k) {
        list += "  " + std::string(kEaseAliases[k]) + std::string(12 - kEaseAliases[k].size(), ' ') +
                std::string(kEaseLevels[k].text) + "\n";
    }
    return list;
}

// What an empty value of a case option means, from the field's place in the table.
std::string emptyMeaning(const FieldInfo& f) {
    if (!f.start.empty()) {
        return "empty: " + std::string(f.start);
    }
    if (!f.window) {
        return "empty: 0; giving it makes the case a daylight case";
    }
    const auto sameCaption = [&](const FieldInfo& other) { return other.caption == f.caption; };
    const auto units = std::count_if(kFields.begin(), kFields.end(), sameCaption);
    switch (f.group) {
    case ModeGroup::Source:
    case ModeGroup::Illuminance:
    case ModeGroup::Luminance: {
        const std::string mode = f.group == ModeGroup::Source        ? "source"
                                 : f.group == ModeGroup::Illuminance ? "illuminance"
                                                                     : "luminance";
        return "used in mode " + mode +
               (units == 1   ? ""
                : units == 2 ? "; give one unit, the other is filled in"
                             : "; give one unit, the others are filled in");
    }
    case ModeGroup::Reflectance: return "a fraction from 0 to 1; needed unless the mode is luminance";
    case ModeGroup::None: break;
    }
    return "needed";
}

// The line of help of a case option: the quantity, its unit and what empty means.
std::string caseHelp(std::size_t column) {
    if (!kColumns[column].field) {
        return "input mode: " + std::string(kModeChoices);
    }
    const FieldInfo& f = fieldInfo(*kColumns[column].field);
    std::string help(f.caption);
    if (!f.unit.empty()) {
        help += ", " + std::string(f.unit);
    }
    if (f.field == Field::EaseOfRead) {
        return help + ": one of the levels below, or its short name; needed";
    }
    help += "; " + emptyMeaning(f);
    for (const ColumnAlias& a : kColumnAliases) {
        if (a.name == kColumns[column].name) {
            help += " (also --" + std::string(a.alias) + ")";
        }
    }
    return help;
}

struct EaseError {
    std::string message;
};

// The case options every command but batch takes: --name value, one per input column.
// How the Monte Carlo draws of tolerance, and of report's --tol, are made.
// The seed is kept as text: CLI11 would read -1 and 2^64 as 2^64 - 1.
void addDrawOptions(CLI::App& command, Invocation& run, std::string& seed) {
    command.add_option("--samples", run.samples, "Monte Carlo samples (default 100000)")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{100'000'000}));
    command.add_option("--seed", seed, "Seed of the draws, 0 to 18446744073709551615 (default 1)");
    command.add_option("--threads", run.threads, "Worker threads (default: every core)")->check(CLI::Range(1U, 256U));
}

// The draw options and spreads that no case could take, refused before any
// output is opened; why, when refused.
std::optional<std::string> checkDraws(const CLI::App& command, const std::string& seed, Invocation& run) {
    if (command.count("--seed") > 0) {
        const char* end = seed.data() + seed.size();
        const auto [ptr, ec] = std::from_chars(seed.data(), end, run.seed);
        if (seed.empty() || ec != std::errc() || ptr != end) {
            return "--seed \"" + seed + "\" must be a whole number from 0 to 18446744073709551615";
        }
    }
    for (const std::string& text : run.tolerances) {
        const auto parsed = parseTolerance(text);
        if (!parsed) {
            return "--tol " + text + ": " + parsed.error().message;
        }
    }
    return std::nullopt;
}

struct CaseOptions {
    std::array<std::string, kColumns.size()> values;
    std::array<CLI::Option*, kColumns.size()> options{}; // null for the outputs

    void addTo(CLI::App& app) {
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            if (isInputColumn(k)) {
                options[k] = app.add_option("--" + std::string(kColumns[k].name), values[k], caseHelp(k))
                                 ->group(isDaylightColumn(k) ? "Daylight" : "Case");
            }
        }
    }

    // The case as given; throws a usage error for a bad mode, and an
    // EaseError, whose message lists the levels, for a bad ease.
    [[nodiscard]] Case build() const {
        Case c;
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            if (options[k] == nullptr || options[k]->count() == 0) {
                continue;
            }
            if (kColumns[k].field == Field::EaseOfRead && !values[k].empty() && !easeLevel(values[k])) {
                throw EaseError{"--ease \"" + values[k] + "\" is not an ease of reading level"};
            }
            if (!c.set(k, values[k])) {
                throw CLI::ValidationError("--mode", "must be " + std::string(kModeChoices));
            }
        }
        return c;
    }
};

// Long option names as typed: hyphens for underscores, and the clearer aliases.
std::string canonicalOption(const std::string& arg, const std::vector<std::string>& known) {
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
        return arg;
    }
    const std::size_t equals = arg.find('=');
    std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    std::replace(name.begin(), name.end(), '-', '_');
    for (const ColumnAlias& a : kColumnAliases) {
        if (name == a.alias) {
            name = a.name;
        }
    }
    if (std::find(known.begin(), known.end(), "--" + name) == known.end()) {
        return arg;
    }
    return "--" + name + (equals == std::string::npos ? "" : arg.substr(equals));
}

// The long names an app takes.
std::vector<std::string> longNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* o : app.get_options()) {
        for (const std::string& n : o->get_lnames()) {
            names.push_back("--" + n);
        }
    }
    return names;
}

// The known name nearest to name, when it is near enough to be meant.
std::optional<std::string> nearest(const std::string& name, const std::vector<std::string>& known) {
    if (name.size() > 64) {
        return std::nullopt; // no name is that long, and the distances would be slow to find
    }
    const auto best = std::min_element(known.begin(), known.end(), [&](const auto& a, const auto& b) {
        return editDistance(name, a) < editDistance(name, b);
    });
    if (best == known.end() || editDistance(name, *best) > std::max<std::size_t>(2, name.size() / 4)) {
        return std::nullopt;
    }
    return *best;
}

// "unknown option --x; did you mean --y?" for what the command did not take.
std::string unexpected(const std::string& arg, const std::vector<std::string>& known) {
    if (arg.compare(0, 1, "-") != 0) {
        return "unexpected argument \"" + arg + "\"";
    }
    const std::string name = arg.substr(0, arg.find('='));
    std::string underscored = name;
    std::replace(underscored.begin() + (name.starts_with("--") ? 2 : 0), underscored.end(), '-', '_');
    const auto meant = nearest(underscored, known);
    return "unknown option " + name + (meant ? "; did you mean " + *meant + "?" : "");
}

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
    "--background_factor 0.2 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "Exit status: 0 with a verdict; 1 when the case ended with a message or the output could not be "
    "written; 2 for a usage error.";
constexpr std::string_view kBatchFooter =
    "Columns: the names of the eval options, in any order; message and margin_log are added.\n"
    "id and label columns are passed through in their place; --keep-unknown passes any other\n"
    "unknown column too, unless it looks like a misspelt column name.\n"
    "A record may hold at most 4 MiB and 4096 cells; a longer one is reported as unreadable.\n"
    "Example:\n  vistrel-cli batch designs.csv -o results.csv\n"
    "Exit status: 0 when every row was read; 1 when some row could not be read or the input or output "
    "failed; 2 for a usage error.";
constexpr std::string_view kSolveFooter =
    "Example:\n  vistrel-cli solve --for letter_height_mm --mode illuminance --illuminance_lux 1076 "
    "--letter_factor 0.8 --background_factor 0.2 --age 60 --viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "--min and --max lie within -1e9 and 1e9.\n"
    "Exit status: 0 when solved; 1 when no value in the range is Legible (also when the case cannot be "
    "evaluated) or the output could not be written; 2 for a usage error.";
constexpr std::string_view kSweepFooter =
    "Example:\n  vistrel-cli sweep --vary viewing_distance_mm=100:3000:10 --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.25 --background_factor 0.2 --age 60 "
    "--letter_height_mm 6 --ratio 7 --ease 90 -o sweep.csv --plot sweep.svg\n"
    "Over decades, log-spaced: --vary illuminance_lux=10:100000:x1.2589 --log-x --plot light.pdf\n"
    "At most 1000000 steps.\nExit status: 0 when written and some step had a verdict; 1 when no step had "
    "a verdict (the output is still written) or the output or the plot failed; 2 for a usage error or a "
    "missing vistrel-plot.";
constexpr std::string_view kAppFooter =
    "An option given twice takes its last value; --letter-height-mm is --letter_height_mm.\n"
    "Exit status: 0 on success, 1 when the command found no verdict or answer or could not write, "
    "2 for a usage error; see each command's --help.";

constexpr std::string_view kCheckFooter =
    "Example:\n  vistrel-cli check --profile text-legibility --profile faa-distance --mode luminance "
    "--letter_cdm2 500 --background_cdm2 10 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 "
    "--ease 90 --ambient_lux 5000 --display_reflectance 0.02\n"
    "A profile holds at most 200 criteria in 1 MiB.\n"
    "Exit status: 0 when every required criterion passes; 1 when one fails or the output could not be "
    "written; 2 for a usage error or a bad profile.";
constexpr std::string_view kConditionsFooter =
    "A condition is a named row (column condition; a comment column is ignored) whose non-empty cells "
    "override the design's.\nExample:\n  vistrel-cli conditions designs.csv -o all.csv\n"
    "At most 1000 conditions, 100000 designs x conditions, and 512 bytes in a row's name and cells.\n"
    "Exit status: 0 when every design is legible under every condition; 1 otherwise or when the input or "
    "output failed; 2 for a usage error.";
constexpr std::string_view kToleranceFooter =
    "SPREAD: +-X or \u00b1X, +-X% or \u00b1X%, normal:SD, normal:MEAN:SD, uniform:LO:HI, triangular:LO:MODE:HI.\n"
    "Example:\n  vistrel-cli tolerance --tol age=normal:45:12 --tol illuminance_lux=+-10% --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 45 --letter_height_mm 6 "
    "--viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "Exit status: 0 when the analysis ran; 1 when the output or the plot could not be written; 2 for a "
    "usage error.";
constexpr std::string_view kReportFooter =
    "Each row of the designs file is one design, named by its design, id or label column. Per design the\n"
    "page holds the verdict and failed checks, inputs, results, the standards tables (text-legibility\n"
    "unless --profile is given), what it would take, plots against viewing distance, ambient illuminance\n"
    "and age, the conditions grid (--conditions, or the shipped conditions), the tolerance analysis (with\n"
    "--tol) and a note on the method. The date is today's in UTC, or that of SOURCE_DATE_EPOCH when set.\n"
    "Example:\n  vistrel-cli report worked.csv -o review.html --tol age=normal:45:12 --samples 2000\n"
    "At most 100 designs (10 for a PDF) and 1000 conditions, each row at most 512 bytes of name and cells.\n"
    "Exit status: 0 when the report was written, whatever its verdicts; 1 when the output or a plot could "
    "not be written; 2 for a usage error, or for a PDF without vistrel-plot and vistrel-pdf.";

} // namespace

std::string_view Invocation::name() const {
    constexpr std::array<std::string_view, 8> kNames{"eval",  "batch",      "solve",     "sweep",
                                                     "check", "conditions", "tolerance", "report"};
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

std::string escapedLines(std::string_view text) {
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        out += escaped(text.substr(start, end - start));
        if (end < text.size()) {
            out += '\n';
        }
        start = end + 1;
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
    app.footer(std::string(kAppFooter));
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    const std::string easeHelp = "Ease of reading levels (short name, then level):\n" + easeLevelList();

    Invocation run;
    CaseOptions evalCase;
    auto* eval = app.add_subcommand("eval", "Evaluate one case");
    eval->footer(easeHelp + std::string(kEvalFooter));
    evalCase.addTo(*eval);
    eval->add_flag("--json", run.json, "Print one JSON object: inputs, outputs, verdict, message, margin_log");

    std::string delimiter;
    auto* batch = app.add_subcommand("batch", "Evaluate every row of a CSV file of cases");
    batch->add_option("input", run.input, "CSV with a header row of column names; - for stdin")->required();
    batch->add_option("-o,--output", run.output, "Where to write the results; - or nothing for stdout");
    batch->add_flag("--json", run.json, "Write JSON Lines, one object per row, instead of CSV");
    batch->add_flag("--keep-unknown", run.keepUnknown, "Pass columns that are no input through to the output");
    const std::string formulaHelp = "Write text cells that start with = + - @, a tab or a CR as they are, without "
                                    "the ' that keeps a spreadsheet from running them as formulas";
    const auto rawFormulas = [&run] { run.guardFormulas = false; };
    batch->add_flag_callback("--no-formula-guard", rawFormulas, formulaHelp);
    batch->add_option(
        "--delimiter", delimiter,
        "The input's cell separator, , or ; (default: ; when the header names columns only when split at ;)");
    batch->add_option("--profile", run.profiles, "Add a column per criterion of a profile, and failed_checks");
    batch->footer(easeHelp + std::string(kBatchFooter));

    CaseOptions solveCase;
    std::string solveMin;
    std::string solveMax;
    auto* solveCmd = app.add_subcommand("solve", "Find where the verdict changes as one input varies");
    solveCmd->add_option("--for", run.solveFor, "Any numeric input: " + solveTargetNames())->required();
    solveCmd->add_option("--min", solveMin, "Start of the range (default: the input's own; see the manual)");
    solveCmd->add_option("--max", solveMax, "End of the range (default: the input's own; see the manual)");
    solveCmd->add_flag("--json", run.json, "Print JSON: the case at the answer, the answer and the changes");
    solveCase.addTo(*solveCmd);
    solveCmd->footer(easeHelp + std::string(kSolveFooter));

    CaseOptions sweepCase;
    std::string vary;
    auto* sweepCmd = app.add_subcommand("sweep", "Evaluate a case across a range of one input");
    std::string plotSize;
    sweepCmd->add_option("--vary", vary, "NAME=FROM:TO:STEP, or NAME=FROM:TO:xFACTOR for log-spaced steps")->required();
    sweepCmd->add_option("-o,--output", run.output, "Where to write the CSV; - or nothing for stdout");
    sweepCmd->add_flag("--json", run.json, "Write JSON Lines, one object per step, instead of CSV");
    sweepCmd->add_option("--plot", run.plot, "Draw the contrasts against the varied input to an .svg, .png or .pdf");
    sweepCmd->add_flag("--log-x", run.logX, "Plot the varied input on a log axis (FROM and TO above 0)");
    sweepCmd->add_option("--plot-size", plotSize, "The plot's width and height in pixels, WxH (default 1000x620)");
    sweepCase.addTo(*sweepCmd);
    sweepCmd->footer(easeHelp + std::string(kSweepFooter));

    CaseOptions checkCase;
    auto* checkCmd = app.add_subcommand("check", "Check one case against standards profiles");
    checkCmd->add_option("--profile", run.profiles, "A built-in profile's name or a .toml file; repeatable")
        ->required();
    checkCmd->add_flag("--json", run.json, "Print JSON");
    checkCase.addTo(*checkCmd);
    checkCmd->footer(easeHelp + std::string(kCheckFooter));

    auto* conditionsCmd = app.add_subcommand("conditions", "Evaluate every design under every condition");
    conditionsCmd->add_option("designs", run.input, "CSV of designs, as for batch; a design column names them")
        ->required();
    conditionsCmd->add_option("--conditions", run.conditions, "CSV of named conditions (default: the shipped one)");
    conditionsCmd->add_option("-o,--output", run.output, "Where to write the full table; - or nothing for stdout");
    conditionsCmd->add_flag_callback("--no-formula-guard", rawFormulas, formulaHelp);
    conditionsCmd->footer(std::string(kConditionsFooter));

    CaseOptions toleranceCase;
    auto* toleranceCmd = app.add_subcommand("tolerance", "How sure the verdict is when inputs spread");
    toleranceCmd->add_option("--tol", run.tolerances, "NAME=SPREAD; repeatable (see below)")->required();
    std::string seed;
    addDrawOptions(*toleranceCmd, run, seed);
    toleranceCmd->add_flag("--json", run.json, "Print JSON");
    toleranceCmd->add_option("--plot", run.plot, "Draw the tornado ranking to an .svg, .png or .pdf");
    toleranceCase.addTo(*toleranceCmd);
    toleranceCmd->footer(easeHelp + std::string(kToleranceFooter));

    auto* reportCmd = app.add_subcommand("report", "Write a design review of every design to HTML or PDF");
    reportCmd->add_option("designs", run.input, "CSV of designs, as for batch; a design, id or label column names them")
        ->required();
    reportCmd->add_option("-o,--output", run.output, "The page to write: .html (or .htm) or .pdf")->required();
    reportCmd->add_option("--profile", run.profiles,
                          "A built-in profile's name or a .toml file; repeatable (default text-legibility)");
    reportCmd->add_option("--conditions", run.conditions, "CSV of named conditions (default: the shipped one)");
    reportCmd->add_option("--tol", run.tolerances, "NAME=SPREAD, as for tolerance; repeatable");
    addDrawOptions(*reportCmd, run, seed);
    reportCmd->add_option("--title", run.title, "The page's title (default: Design review)");
    reportCmd->footer(std::string(kReportFooter));

    const std::array<CLI::App*, 8> commands{eval,     batch,         solveCmd,     sweepCmd,
                                            checkCmd, conditionsCmd, toleranceCmd, reportCmd};
    for (CLI::App* command : commands) {
        command->allow_extras(); // reported below, with the nearest name
    }

    ParsedCommandLine result;
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed;
    const CLI::App* current = &app;
    std::vector<std::string> known;
    for (std::size_t k = 1; k < args.size(); ++k) {
        if (current == &app) {
            for (CLI::App* command : commands) {
                if (args[k] == command->get_name()) {
                    current = command;
                    known = longNames(*command);
                }
            }
        }
        reversed.push_back(args[k] == "--" ? args[k] : canonicalOption(args[k], known));
    }
    std::reverse(reversed.begin(), reversed.end());
    const auto fail = [&](std::string_view command, const std::string& message) {
        result.status = kUsageError;
        result.err = usageMessage(command, message);
        return result;
    };
    const auto helpOrVersion = [&](const CLI::Error& e) {
        std::ostringstream out;
        std::ostringstream err;
        result.status = app.exit(e, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    };
    if (args.size() > 1 && !args[1].empty() && args[1][0] != '-' && current == &app) {
        std::vector<std::string> names;
        names.reserve(commands.size());
        for (const CLI::App* command : commands) {
            names.push_back(command->get_name());
        }
        const auto meant = nearest(args[1], names);
        result.status = kUsageError;
        result.err = "vistrel-cli: unknown command \"" + escaped(args[1]) + "\"; " +
                     (meant ? "did you mean " + *meant + "?"
                            : "the commands are eval, batch, solve, sweep, check, conditions, tolerance and report") +
                     "\nRun 'vistrel-cli --help' for more information.\n";
        return result;
    }
    // The command that was given something it does not take, if any.
    const auto withExtras = [&]() -> const CLI::App* {
        for (const CLI::App* command : commands) {
            if (command->parsed() && !command->remaining().empty()) {
                return command;
            }
        }
        return nullptr;
    };
    try {
        app.parse(reversed);
        if (const auto* command = withExtras()) {
            return fail(command->get_name(), unexpected(command->remaining().front(), longNames(*command)));
        }
        if (eval->parsed()) {
            run.command = Command::Eval;
            run.base = evalCase.build();
        } else if (batch->parsed()) {
            run.command = Command::Batch;
            if (delimiter == ";" || delimiter == ",") {
                run.delimiter = delimiter[0];
            } else if (batch->count("--delimiter") > 0) {
                return fail("batch", "--delimiter must be , or ;");
            }
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
            if (const auto grid = solveGrid(run.range, target->logarithmic); !grid) {
                return fail("solve", grid.error().message);
            }
        } else if (checkCmd->parsed()) {
            run.command = Command::Check;
            run.base = checkCase.build();
        } else if (conditionsCmd->parsed()) {
            run.command = Command::Conditions;
        } else if (reportCmd->parsed()) {
            run.command = Command::Report;
            const std::string_view out = run.output;
            if (!out.ends_with(".html") && !out.ends_with(".htm") && !out.ends_with(".pdf")) {
                return fail("report", "-o must end in .html, .htm or .pdf");
            }
            if (const auto error = checkDraws(*reportCmd, seed, run)) {
                return fail("report", *error);
            }
        } else if (toleranceCmd->parsed()) {
            run.command = Command::Tolerance;
            run.base = toleranceCase.build();
            if (!run.plot.empty() && !plotFormat(run.plot)) {
                return fail("tolerance", "--plot must end in .svg, .png or .pdf");
            }
            if (const auto error = checkDraws(*toleranceCmd, seed, run)) {
                return fail("tolerance", *error);
            }
        } else {
            run.command = Command::Sweep;
            run.base = sweepCase.build();
            auto sweep = parseSweepSpec(vary, numbers);
            if (!sweep) {
                return fail("sweep", sweep.error().message);
            }
            run.sweep = *sweep;
            if (const auto error = checkPlotOptions(run.plot, run.logX, plotSize, run.sweep, numbers, run.plotSize)) {
                return fail("sweep", *error);
            }
        }
    } catch (const EaseError& e) {
        result.status = kUsageError;
        const std::string command(run.name());
        result.err = "vistrel-cli " + command + ": " + escaped(e.message) + "; the levels, by short name:\n" +
                     easeLevelList() + "Run 'vistrel-cli " + command + " --help' for more information.\n";
        return result;
    } catch (const CLI::CallForHelp& e) {
        return helpOrVersion(e);
    } catch (const CLI::CallForAllHelp& e) {
        return helpOrVersion(e);
    } catch (const CLI::CallForVersion& e) {
        return helpOrVersion(e);
    } catch (const CLI::Error& e) {
        if (const auto* command = withExtras()) { // a misspelt option reads better than what it left missing
            return fail(command->get_name(), unexpected(command->remaining().front(), longNames(*command)));
        }
        result.status = kUsageError;
        result.err = "vistrel-cli: " + escaped(e.what()) + "\nRun 'vistrel-cli --help' for more information.\n";
        return result;
    }
    result.invocation = std::move(run);
    return result;
}

} // namespace vistrel::cli
