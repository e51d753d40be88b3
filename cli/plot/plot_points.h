// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The points vistrel-plot draws, read from "x,threshold,actual,state" lines.
// Kept apart from the drawing so that it needs no charting library.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace vistrel {
class NumberText;
}

namespace vistrel::plot {

enum class State { None, Legible, NotLegible };

struct Point {
    double x = 0;
    std::optional<double> threshold; // both set, and positive, only with a verdict
    std::optional<double> actual;
    State state = State::None;
};

// Beyond these a point cannot be placed on the axes; it is left out.
inline constexpr double kLargestX = 1e15;
inline constexpr double kLargestContrast = 1e15;
inline constexpr std::size_t kMaxPoints = 200'000;
inline constexpr std::size_t kMaxLineBytes = 1024;

struct Points {
    std::vector<Point> points;
    std::size_t skipped = 0; // lines that were unreadable, out of range or over kMaxPoints
};

Points readPoints(std::FILE* in);

// A figure's size in pixels, "WxH". Big enough for the legend and caption,
// small enough that a PNG stays well under 100 MB in memory.
struct Size {
    int width = 1000;
    int height = 620;
};
inline constexpr int kSmallestSide = 400;
inline constexpr int kLargestSide = 4000;

// Nothing unless both sides are whole numbers within the bounds above.
std::optional<Size> parseSize(std::string_view text, const NumberText& numbers);

} // namespace vistrel::plot
