#pragma once

#include "cases.h"

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

// Draws the contrasts against the varied input with vistrel-plot, which is
// installed beside this program; only this step needs the charting library.
bool drawPlot(const std::vector<PlotPoint>& points, std::string_view xName, const std::string& path,
              std::string& error);

} // namespace vistrel::cli
