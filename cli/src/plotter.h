#pragma once

#include "cases.h"
#include "output_file.h"

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
bool plotFormatSupported(std::string_view path);

// vistrel-plot, which only this step needs, with the charting library:
// beside this program in a build tree, or in ../libexec/vistrel once
// installed. Empty when it is in neither place.
std::string findPlotter();

// Has the plotter draw the contrasts against the varied input, as SVG or PNG
// by the path's ending, and writes the chart to out. False with error set
// when the plotter fails in any way, or empty when writing to out failed.
bool drawPlot(const std::string& plotter, const std::vector<PlotPoint>& points, std::string_view xName,
              std::string_view path, const NumberText& numbers, Sink& out, std::string& error);

// Has the plotter draw a tornado chart from "name,margin at low,margin at high"
// lines, largest swing first; otherwise as drawPlot.
bool drawTornado(const std::string& plotter, const std::string& bars, std::string_view path, Sink& out,
                 std::string& error);

} // namespace vistrel::cli
