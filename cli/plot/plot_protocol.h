// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text vistrel-cli hands to vistrel-plot on its standard input, written
// and read here only, so that the two programs cannot drift apart.
//   a sweep:   "x,threshold,actual,state" lines; threshold and actual are
//              empty when the state is not a verdict
//   --tornado: "name,margin at low,margin at high" lines, largest swing first
// Numbers are in the invariant format, as NumberText::plain writes them.

#include "plot_points.h"

#include <optional>
#include <string>
#include <string_view>

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
inline constexpr std::string_view kTornadoTitle = "margin_log with each input at its low and its high value";

// One sweep point's line, ending in a newline. state is the verdict's text,
// kLegible or kNotLegible, or anything else for none.
std::string pointLine(double x, std::optional<double> threshold, std::optional<double> actual, std::string_view state,
                      const NumberText& numbers);
// A point line without its newline; nothing when it cannot be drawn.
std::optional<Point> parsePointLine(std::string_view line, const NumberText& numbers);

// "WxH", as parseSize reads it.
std::string sizeText(Size size);

struct Bar {
    std::string name; // a column name: never holds the separator
    double atLow = 0;
    double atHigh = 0;
};

// One tornado bar's line, ending in a newline.
std::string barLine(std::string_view name, double atLow, double atHigh, const NumberText& numbers);
// A bar line without its newline; nothing unless both margins are finite numbers.
std::optional<Bar> parseBarLine(std::string_view line, const NumberText& numbers);

} // namespace vistrel::plot
