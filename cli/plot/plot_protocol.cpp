// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_protocol.h"

#include "calc/number_text.h"

#include <array>
#include <cmath>

namespace vistrel::plot {

namespace {

std::optional<double> number(std::string_view text, const NumberText& numbers, double largest) {
    const ParsedNumber parsed = numbers.parse(text);
    if (!parsed.ok() || !std::isfinite(parsed.value) || std::fabs(parsed.value) > largest) {
        return std::nullopt;
    }
    return parsed.value;
}

} // namespace

std::string pointLine(double x, std::optional<double> threshold, std::optional<double> actual, std::string_view state,
                      const NumberText& numbers) {
    std::string line = numbers.plain(x);
    line += kSeparator;
    line += threshold ? numbers.plain(*threshold) : "";
    line += kSeparator;
    line += actual ? numbers.plain(*actual) : "";
    line += kSeparator;
    line += state;
    line += '\n';
    return line;
}

std::optional<Point> parsePointLine(std::string_view line, const NumberText& numbers) {
    std::array<std::string_view, 4> cells;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const std::size_t comma = k + 1 < cells.size() ? line.find(kSeparator) : line.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        cells[k] = line.substr(0, comma);
        line.remove_prefix(k + 1 < cells.size() ? comma + 1 : comma);
    }
    if (cells[3].find(kSeparator) != std::string_view::npos) {
        return std::nullopt;
    }
    Point p;
    const auto x = number(cells[0], numbers, kLargestX);
    if (!x) {
        return std::nullopt;
    }
    p.x = *x;
    p.state = cells[3] == kLegible ? State::Legible : cells[3] == kNotLegible ? State::NotLegible : State::None;
    if (p.state == State::None) {
        return p;
    }
    p.threshold = number(cells[1], numbers, kLargestContrast);
    p.actual = number(cells[2], numbers, kLargestContrast);
    if (!p.threshold || !p.actual || *p.threshold <= 0 || *p.actual <= 0) {
        return std::nullopt;
    }
    return p;
}

std::string sizeText(Size size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

std::string barLine(std::string_view name, double atLow, double atHigh, const NumberText& numbers) {
    std::string line(name);
    line += kSeparator;
    line += numbers.plain(atLow);
    line += kSeparator;
    line += numbers.plain(atHigh);
    line += '\n';
    return line;
}

std::optional<Bar> parseBarLine(std::string_view line, const NumberText& numbers) {
    const std::size_t first = line.find(kSeparator);
    const std::size_t second = first == std::string_view::npos ? first : line.find(kSeparator, first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto low = number(line.substr(first + 1, second - first - 1), numbers, HUGE_VAL);
    const auto high = number(line.substr(second + 1), numbers, HUGE_VAL);
    if (!low || !high) {
        return std::nullopt;
    }
    return Bar{std::string(line.substr(0, first)), *low, *high};
}

} // namespace vistrel::plot
