// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text vistrel-cli hands to vistrel-plot on its standard input, written
// and read here only, so that the two programs cannot drift apart.
//   a sweep:   "x,threshold,actual,state" lines; threshold and actual are
//              empty when the state is not a verdict
//   --tornado: the margin at the centre (every input at its median) alone,
//              then "low value,margin at low,high value,margin at high,unit,
//              caption" lines, largest swing first
// Numbers are in the invariant format, as NumberText::plain writes them.

#include "plot_points.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {
class NumberText;
}

namespace vistrel::plot {

inline constexpr char kSeparator = ',';
inline constexpr std::string_view kLegible = "Legible";
inline constexpr std::string_view kNotLegible = "Not Legible";

// The options vistrel-plot takes after its format.
inline constexpr std::string_view kTitleOption = "--title";
inline constexpr std::string_view kXTitleOption = "--x-title";
inline constexpr std::string_view kXUnitOption = "--x-unit";
inline constexpr std::string_view kCaptionOption = "--caption";
inline constexpr std::string_view kSizeOption = "--size";
inline constexpr std::string_view kLogXOption = "--log-x";
inline constexpr std::string_view kTornadoOption = "--tornado";
inline constexpr std::string_view kTornadoTitle = "margin_log with each input alone at its low and its high value";

// One sweep point's line, ending in a newline. state is the verdict's text,
// kLegible or kNotLegible, or anything else for none.
std::string pointLine(double x, std::optional<double> threshold, std::optional<double> actual, std::string_view state,
                      const NumberText& numbers);
// A point line without its newline; nothing when it cannot be drawn.
std::optional<Point> parsePointLine(std::string_view line, const NumberText& numbers);

// "WxH", as parseSize reads it.
std::string sizeText(Size size);

struct Bar {
    double lowValue = 0;
    double atLow = 0; // margin_log with the input at its low value
    double highValue = 0;
    double atHigh = 0;
    std::string unit;    // of the values; may be empty; never holds the separator
    std::string caption; // the input's: comes last, as it may hold the separator
};

// One tornado bar's line, ending in a newline.
std::string barLine(const Bar& bar, const NumberText& numbers);
// A bar line without its newline; nothing unless the four numbers are finite.
std::optional<Bar> parseBarLine(std::string_view line, const NumberText& numbers);

// A tornado's margin axis, as a change from the centre: symmetric about 0 so
// that the centre sits in the middle, and wide enough for every bar's end
// plus its label, which needs labelShare (0 to 0.8) of each half.
struct AxisRange {
    double low = -1;
    double high = 1;
};
AxisRange tornadoRange(const std::vector<Bar>& bars, double centre, double labelShare);

// A tick's label at a step of the axis: no more decimals than the step
// needs, and 0 for a value that is 0 but for rounding (-2.7e-17).
std::string tickText(double value, double step);

} // namespace vistrel::plot
