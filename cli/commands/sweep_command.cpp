// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "commands.h"
#include "output_file.h"
#include "plotter.h"
#include "report.h"

#include <CLI/CLI.hpp>

namespace vistrel::cli {

namespace {

constexpr std::string_view kSweepFooter =
    "Example:\n  vistrel-cli sweep --vary viewing_distance_mm=100:3000:10 --mode illuminance "
    "--illuminance_lux 1076 --letter_factor 0.25 --background_factor 0.2 --age 60 "
    "--letter_height_mm 6 --ratio 7 --ease 90 -o sweep.csv --plot sweep.svg\n"
    "Over decades, log-spaced: --vary illuminance_lux=10:100000:x1.2589 --log-x --plot light.pdf\n"
    "At most 1000000 steps.\nExit status: 0 when written and some step had a verdict; 1 when no step had "
    "a verdict (the output is still written) or the output or the plot failed; 2 for a usage error or a "
    "missing vistrel-plot.";

} // namespace

void addSweepOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("--vary", options.texts.vary, "NAME=FROM:TO:STEP, or NAME=FROM:TO:xFACTOR for log-spaced steps")
        ->required();
    command.add_option("-o,--output", run.output, "Where to write the CSV; - or nothing for stdout");
    command.add_flag("--json", run.json, "Write JSON Lines, one object per step, instead of CSV");
    command.add_option("--plot", run.plot, "Draw the contrasts against the varied input to an .svg, .png or .pdf");
    command.add_flag("--log-x", run.logX, "Plot the varied input on a log axis (FROM and TO above 0)");
    command.add_option("--plot-size", options.texts.plotSize,
                       "The plot's width and height in pixels, WxH (default 1000x620)");
    addSheetOptions(command, options, false);
    options.caseOptions.addTo(command);
    command.footer(easeHelp() + std::string(kSweepFooter));
}

Expected<void> finishSweep(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    Invocation& run = options.run;
    if (auto sheet = finishSheetOptions(command, options, false); !sheet) {
        return sheet;
    }
    auto spec = parseSweepSpec(options.texts.vary, numbers);
    if (!spec) {
        return spec.error();
    }
    run.sweep = *spec;
    if (auto fixed = options.caseOptions.refuseFixedByEye(run.sweep.column, "--vary"); !fixed) {
        return fixed.error();
    }
    if (auto single = refuseSourceList(run.base, run.sweep.column); !single) {
        return usageError("--vary: " + single.error().message);
    }
    const auto size = checkPlotOptions(run.plot, run.logX, options.texts.plotSize, run.sweep, numbers);
    if (!size) {
        return size.error();
    }
    run.plotSize = *size;
    return {};
}

Expected<int> runSweepCommand(Invocation& run, Console& console, const NumberText& numbers) {
    std::string plotter;
    if (!run.plot.empty()) {
        if (!run.output.empty() && run.output != "-" && sameTarget(run.output, run.plot)) {
            return usageError("-o and --plot name the same file " + run.output);
        }
        auto found = plotterForPlot();
        if (!found) {
            return found.error();
        }
        plotter = std::move(*found);
    }
    auto out = Output::open(console, run.output, run.sheet);
    if (!out) {
        return out.error();
    }
    std::optional<Output> plotOut;
    if (!run.plot.empty()) {
        auto opened = Output::open(console, run.plot);
        if (!opened) {
            return opened.error();
        }
        plotOut.emplace(std::move(*opened));
    }
    ColumnSet shown = run.base.shown();
    shown.add(ColumnSet::of(run.sweep.column));
    std::string text = run.json ? std::string() : outputHeader(shown);
    std::vector<PlotPoint> points;
    bool anyVerdict = false;
    Expected<void> written;
    // A failed write stops the sweep at once: after `| head` the rest would be lost work.
    sweep(run.base, run.sweep, numbers, [&](const Case& c, const Evaluation& e) {
        anyVerdict = anyVerdict || e.hasVerdict();
        if (run.json) {
            text += evaluationJsonLine(c, e, numbers);
        } else {
            appendRow(text, c, e, run.guardFormulas);
        }
        if (plotOut) {
            points.push_back(plotPoint(c, e, run.sweep.column, numbers));
        }
        if (text.size() > (1 << 16)) {
            written = out->write(text);
            text.clear();
        }
        return written.ok();
    });
    if (written) {
        written = out->write(text);
    }
    if (!written) {
        return written.error();
    }
    if (plotOut) {
        PlotFigure figure = sweepFigure(run.base, run.sweep.column);
        figure.format = *plotFormat(run.plot);
        figure.logX = run.logX;
        figure.size = run.plotSize;
        if (auto drawn = drawPlot(plotter, points, figure, run.plot, numbers, plotOut->sink()); !drawn) {
            return drawn.error();
        }
        if (auto committed = plotOut->commit(); !committed) {
            return committed.error();
        }
    }
    if (auto committed = out->commit(); !committed) {
        return committed.error();
    }
    return anyVerdict ? 0 : 1;
}

} // namespace vistrel::cli
