// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands share in writing their answers.

#include "commands.h"
#include "plotter.h"

namespace vistrel::cli {

Expected<std::string> plotterForPlot() {
    std::string plotter = findPlotter();
    if (plotter.empty()) {
        return usageError("--plot needs vistrel-plot, which is not installed: install the 'vistrel' package");
    }
    return plotter;
}

Expected<void> writeAll(Output& out, std::string_view text) {
    if (auto written = out.write(text); !written) {
        return written;
    }
    return out.commit();
}

Expected<int> writeReport(const Invocation& run, Console& console, const CommandResult& result) {
    if (!result.table.empty()) {
        auto table = Output::open(console, run.output, run.sheet);
        if (!table) {
            return table.error();
        }
        // A file keeps the bytes; a terminal shows control characters as \xNN.
        std::string text = table->isTerminal() ? escapedLines(result.table) : result.table;
        if ((run.output.empty() || run.output == "-") && !result.out.empty()) {
            text += "\n"; // a blank line before the report
        }
        if (auto written = writeAll(*table, text); !written) {
            return written.error();
        }
    }
    if (!run.plot.empty()) {
        const auto plotter = plotterForPlot();
        if (!plotter) {
            return plotter.error();
        }
        auto plotOut = Output::open(console, run.plot);
        if (!plotOut) {
            return plotOut.error();
        }
        if (auto drawn = drawTornado(*plotter, result.tornado, run.plot, plotOut->sink()); !drawn) {
            return drawn.error();
        }
        if (auto committed = plotOut->commit(); !committed) {
            return committed.error();
        }
    }
    auto out = Output::open(console, "-");
    if (!out) {
        return out.error();
    }
    if (auto written = writeAll(*out, result.out); !written) {
        return written.error();
    }
    return result.status;
}

} // namespace vistrel::cli
