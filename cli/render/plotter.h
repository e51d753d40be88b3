// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/cases.h"
#include "analysis/explore.h"
#include "output_file.h"
#include "plot_points.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct PlotPoint {
    double x = 0;
    std::optional<double> threshold;
    std::optional<double> actual;
    std::string state; // "Legible", "Not Legible" or empty without a verdict
};

PlotPoint plotPoint(const Case& c, const Evaluation& e, std::size_t variedColumn, const NumberText& numbers);

enum class PlotFormat { Svg, Png, Pdf };
// By the path's ending: .svg, .png or .pdf; nothing for any other.
std::optional<PlotFormat> plotFormat(std::string_view path);

// What vistrel-plot is asked to draw, besides the points. Its command line:
//   vistrel-plot svg|png|pdf [--title TEXT] [--x-title TEXT] [--x-unit UNIT]
//                [--caption TEXT] [--log-x] [--size WxH] < points > figure
// Points are "x,threshold,actual,state" lines in the invariant number format,
// state "Legible", "Not Legible" or empty (no verdict: no contrasts drawn).
// The contrasts are drawn on a log axis, the legible region shaded, and each
// change of state marked with a dashed line and labelled with its x value
// and unit. Unreadable points, and points at or below 0 with --log-x, are
// left out and counted on stderr. Exit status 0 when the figure was written
// to stdout, 1 when it could not be drawn or written, 2 for bad arguments.
struct PlotFigure {
    PlotFormat format = PlotFormat::Svg;
    std::string title;   // above the chart
    std::string xTitle;  // quantity and unit: "Viewing distance (mm)"
    std::string xUnit;   // in the change labels: "Not legible beyond 335 mm"; may be empty
    std::string caption; // the fixed inputs, under the chart; wrapped when long
    bool logX = false;
    plot::Size size;
};

// An input's caption and unit as a figure labels them: "Letter HT", "mm".
std::string figureCaption(std::size_t column);
std::string figureUnit(std::size_t column);

// The figure of a sweep of one input of base: titles and caption from the
// engine's field table, so that they read as the window's captions do.
PlotFigure sweepFigure(const Case& base, std::size_t variedColumn);

// Checks a sweep's plot options: the file's ending, the size ("" keeps the
// default) and a log axis over values above 0. The size, or why they do not fit.
Expected<plot::Size> checkPlotOptions(const std::string& path, bool logX, const std::string& sizeText,
                                      const SweepSpec& sweep, const NumberText& numbers);

// vistrel-plot, which only this step needs, with the charting library:
// beside this program in a build tree, or in ../libexec/vistrel once
// installed. Empty when it is in neither place.
std::string findPlotter();
// Any helper program, looked up where the plotter is.
std::string findHelper(std::string_view name);

// The most taken from a helper: more is a helper gone wrong, which would
// otherwise fill the disk or the memory. A figure is far smaller; a PDF
// grows with the page it lays out, to about that page's size.
inline constexpr std::uint64_t kMostFromHelper = std::uint64_t{64} << 20;
constexpr std::uint64_t mostPdf(std::size_t pageBytes) { return kMostFromHelper + 4 * std::uint64_t{pageBytes}; }

// Runs a helper with args after its own name, hands it text on stdin and
// copies what it writes to out. An Output error ("TASK failed: ...") when
// it fails in any way, also when it writes more than most bytes (it is
// killed then), or out's failure when writing to out failed.
Expected<void> runHelper(const std::string& program, std::vector<std::string> args, const std::string& text,
                         std::string_view task, std::uint64_t most, Sink& out);

// Has the plotter draw the figure and writes it to out; errors as runHelper's.
Expected<void> drawPlot(const std::string& plotter, const std::vector<PlotPoint>& points, const PlotFigure& figure,
                        std::string_view path, const NumberText& numbers, Sink& out);

// Has the plotter draw a tornado chart from bars as tornadoBars writes them;
// otherwise as drawPlot.
Expected<void> drawTornado(const std::string& plotter, const std::string& bars, std::string_view path, Sink& out,
                           plot::Size size = {});

} // namespace vistrel::cli
