// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_tolerance.h"
#include "analysis/tolerance.h"
#include "command_table.h"
#include "commands.h"
#include "json_shape.h"
#include "notes_text.h"
#include "plot_protocol.h"
#include "plotter.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <sstream>

namespace vistrel::cli {

namespace {

std::string num(std::optional<double> v, const NumberText& numbers) {
    return v ? numbers.plain(NumberText::roundThreeDecimals(*v)) : std::string("none");
}

// A probability to four decimals, enough for a million samples' interval.
std::string probability(double p, const NumberText& numbers) { return numbers.plain(std::round(p * 1e4) / 1e4); }

std::string outcomeText(const SampleOutcome& o, const NumberText& numbers) {
    if (!o.margin) {
        return "no verdict (" + o.message + ")";
    }
    return std::string(o.legible ? kLegible : kNotLegible) + ", margin_log " + num(o.margin, numbers);
}

nlohmann::ordered_json outcomeJson(const SampleOutcome& o) {
    return {{"verdict", o.margin ? nlohmann::ordered_json(o.legible ? kLegible : kNotLegible) : nullptr},
            {"message", jsonText(o.message)},
            {"margin_log", jsonNumber(o.margin)}};
}

} // namespace

Expected<ToleranceAnalysis> analyseTolerance(const Case& base, const Invocation& run, const NumberText& numbers) {
    SampleProgress progress;
    if (run.progress) {
        progress = [&run](std::uint64_t done) { run.progress(done, run.samples); };
    }
    auto analysis = analyseTolerance(base, run.tolerances, {run.samples, run.seed, run.threads}, numbers, progress);
    if (!analysis) {
        Error error = analysis.error();
        error.message = "--tol " + error.message;
        return error;
    }
    return analysis;
}

std::string tornadoBars(const ToleranceAnalysis& a, const Case& base, const NumberText& numbers) {
    std::vector<double> medians;
    for (const Distribution& d : a.inputs) {
        medians.push_back(d.median());
    }
    const SampleOutcome centre = CaseEvaluator(base, a.columns, numbers).evaluate(medians);
    if (!centre.margin) {
        return {};
    }
    std::string out = numbers.plain(*centre.margin) + '\n';
    for (const TornadoBar& b : a.bars) {
        if (b.atLow.margin && b.atHigh.margin) {
            const std::size_t column = a.columns[b.input];
            const auto shown = [](double v) { return NumberText::roundThreeDecimals(v); };
            out += plot::barLine({shown(b.lowValue), *b.atLow.margin, shown(b.highValue), *b.atHigh.margin,
                                  figureUnit(column), figureCaption(column)},
                                 numbers);
        }
    }
    return out;
}

Expected<CommandResult> runTolerance(const Invocation& run, const NumberText& numbers) {
    CommandResult result;
    const auto analysis = analyseTolerance(run.base, run, numbers);
    if (!analysis) {
        return analysis.error();
    }
    const auto& texts = analysis->texts;
    const auto& columns = analysis->columns;
    const auto& inputs = analysis->inputs;
    const MonteCarloResult& mc = analysis->mc;
    const WorstCase& worst = analysis->worst;
    Case nominalCase = run.base;
    const Evaluation nominal = evaluate(nominalCase, numbers);

    std::ostringstream text;
    nlohmann::ordered_json json;
    json["nominal"] = caseJson(nominalCase, nominal, numbers);
    text << "Nominal: "
         << (nominal.hasVerdict() ? nominalCase.store().text(Field::Result) + ", margin_log " + nominal.margin
                                  : "no verdict (" + nominal.message + ")")
         << "\nTolerances:\n";
    json["tolerances"] = nlohmann::ordered_json::array();
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const Distribution& d = inputs[k];
        text << "  " << texts[k] << ": " << num(d.low(), numbers) << " to " << num(d.high(), numbers);
        if (d.truncated()) {
            text << "; truncated to the input's valid values, " << num(100 * d.excludedFraction(), numbers)
                 << "% of the distribution cut away";
        }
        text << '\n';
        json["tolerances"].push_back({{"name", kColumns[columns[k]].name},
                                      {"spread", texts[k]},
                                      {"low", d.low()},
                                      {"high", d.high()},
                                      {"truncated", d.truncated()},
                                      {"excluded_fraction", d.excludedFraction()}});
    }
    text << "Monte Carlo: " << mc.samples << " samples, seed " << run.seed << '\n'
         << "  P(Legible) " << probability(mc.probability, numbers) << ", 95% interval "
         << probability(mc.interval.low, numbers) << " to " << probability(mc.interval.high, numbers) << '\n'
         << "  margin_log p5 " << num(mc.p5, numbers) << ", p50 " << num(mc.p50, numbers) << ", p95 "
         << num(mc.p95, numbers) << '\n'
         << "  samples ending in a message: " << mc.messageSamples << '\n';
    nlohmann::ordered_json messages = nlohmann::ordered_json::object();
    for (const auto& [message, count] : mc.messages) {
        text << "    " << count << "  " << message << '\n';
        messages[message] = count;
    }
    json["monte_carlo"] = {{"samples", mc.samples},
                           {"seed", run.seed},
                           {"legible", mc.legible},
                           {"probability_legible", mc.probability},
                           {"interval_95", {{"low", mc.interval.low}, {"high", mc.interval.high}}},
                           {"margin_log_p5", jsonNumber(mc.p5)},
                           {"margin_log_p50", jsonNumber(mc.p50)},
                           {"margin_log_p95", jsonNumber(mc.p95)},
                           {"message_samples", mc.messageSamples},
                           {"messages", std::move(messages)}};

    const auto valuesText = [&](const std::vector<double>& values) {
        std::string out;
        for (std::size_t k = 0; k < values.size(); ++k) {
            out += (k == 0 ? "" : ", ") + std::string(kColumns[columns[k]].name) + "=" + num(values[k], numbers);
        }
        return out;
    };
    const auto valuesJson = [&](const std::vector<double>& values) {
        nlohmann::ordered_json j = nlohmann::ordered_json::object();
        for (std::size_t k = 0; k < values.size(); ++k) {
            j[std::string(kColumns[columns[k]].name)] = values[k];
        }
        return j;
    };
    nlohmann::ordered_json worstJson{
        {"found_by", worst.foundBy.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(worst.foundBy)},
        {"corners_skipped", worst.skipped},
        {"corners", worst.corners},
        {"searched", worst.searched}};
    if (worst.skipped) {
        text << "Worst case: corners skipped, more than " << kMaxCornerInputs << " inputs vary\n";
    }
    if (worst.values.empty()) {
        text << "Worst case: no corner or sample reached a verdict\n";
    } else {
        text << "Worst case (" << worst.foundBy << "; " << worst.corners << " corners, " << worst.searched
             << " search steps): " << valuesText(worst.values) << ": " << (worst.legible ? kLegible : kNotLegible)
             << ", margin_log " << num(worst.margin, numbers) << '\n';
    }
    if (worst.messageCorners > 0) {
        text << "  " << worst.messageCorners << " corners ended in a message, the first at "
             << valuesText(worst.messageValues) << ": " << worst.message << '\n';
    }
    worstJson["values"] = worst.values.empty() ? nlohmann::ordered_json(nullptr) : valuesJson(worst.values);
    worstJson["verdict"] =
        worst.values.empty() ? nlohmann::ordered_json(nullptr) : (worst.legible ? kLegible : kNotLegible);
    worstJson["margin_log"] = jsonNumber(worst.margin);
    worstJson["message_corners"] = worst.messageCorners;
    worstJson["message"] = jsonText(worst.message);
    json["worst_case"] = std::move(worstJson);

    text << "Tornado (change of margin_log from each input's low to its high value):\n";
    json["tornado"] = nlohmann::ordered_json::array();
    for (const TornadoBar& b : analysis->bars) {
        const std::string_view name = kColumns[columns[b.input]].name;
        text << "  " << name << " " << num(b.lowValue, numbers) << " -> " << num(b.highValue, numbers) << ": "
             << (b.swing && *b.swing >= 0 ? "+" : "") << (b.swing ? num(b.swing, numbers) : "no swing") << " ("
             << outcomeText(b.atLow, numbers) << " -> " << outcomeText(b.atHigh, numbers) << ")\n";
        json["tornado"].push_back({{"name", name},
                                   {"low", b.lowValue},
                                   {"high", b.highValue},
                                   {"swing", jsonNumber(b.swing)},
                                   {"at_low", outcomeJson(b.atLow)},
                                   {"at_high", outcomeJson(b.atHigh)}});
    }
    result.tornado = tornadoBars(*analysis, run.base, numbers);
    result.out = run.json ? dumped(json) : text.str();
    return result;
}

namespace {

constexpr std::string_view kToleranceFooter =
    "SPREAD: +-X or \u00b1X, +-X% or \u00b1X%, normal:SD, normal:MEAN:SD, uniform:LO:HI, triangular:LO:MODE:HI.\n"
    "Example:\n  vistrel-cli tolerance --tol age=normal:45:12 --tol illuminance_lux=+-10% --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 45 --letter_height_mm 6 "
    "--viewing_distance_mm 750 --ratio 7 --ease 90\n"
    "Exit status: 0 when the analysis ran; 1 when the output or the plot could not be written; 2 for a "
    "usage error.";

} // namespace

void addToleranceOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("--tol", run.tolerances, "NAME=SPREAD; repeatable (see below)")->required();
    addDrawOptions(command, options);
    addQuietFlag(command, options.run);
    command.add_flag("--json", run.json, "Print JSON");
    command.add_option("--plot", run.plot, "Draw the tornado ranking to an .svg, .png or .pdf");
    options.caseOptions.addTo(command);
    addCaseFileOption(command, options.caseOptions);
    command.footer(easeHelp() + std::string(kToleranceFooter));
}

Expected<void> finishTolerance(const CLI::App& command, CommandOptions& options, const NumberText& /*numbers*/) {
    if (!options.run.plot.empty() && !plotFormat(options.run.plot)) {
        return usageError("--plot must end in .svg, .png or .pdf");
    }
    if (auto draws = checkDraws(command, options); !draws) {
        return draws;
    }
    std::vector<std::size_t> spread; // a spread input needs no value of its own
    for (const std::string& text : options.run.tolerances) {
        if (const auto column = columnIndex(parseTolerance(text)->name)) {
            spread.push_back(*column);
        }
    }
    return refuseMissing(options.run.base, spread);
}

Expected<int> runToleranceCommand(Invocation& run, Console& console, const NumberText& numbers) {
    Progress progress(console.err, console.errIsTerminal && !run.quiet, "samples", run.samples);
    run.progress = progress.hook();
    const auto result = runTolerance(run, numbers);
    progress.finish();
    if (!result) {
        return result.error();
    }
    return writeReport(run, console, *result);
}

} // namespace vistrel::cli
