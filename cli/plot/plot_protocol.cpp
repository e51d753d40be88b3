// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_protocol.h"

#include "calc/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
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

std::string barLine(const Bar& bar, const NumberText& numbers) {
    std::string line;
    for (const double v : {bar.lowValue, bar.atLow, bar.highValue, bar.atHigh}) {
        line += numbers.plain(v);
        line += kSeparator;
    }
    line += bar.unit;
    line += kSeparator;
    line += bar.caption;
    line += '\n';
    return line;
}

std::optional<Bar> parseBarLine(std::string_view line, const NumberText& numbers) {
    std::array<double, 4> values{};
    for (double& v : values) {
        const std::size_t comma = line.find(kSeparator);
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        const auto read = number(line.substr(0, comma), numbers, HUGE_VAL);
        if (!read) {
            return std::nullopt;
        }
        v = *read;
        line.remove_prefix(comma + 1);
    }
    const std::size_t comma = line.find(kSeparator);
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    return Bar{values[0],
               values[1],
               values[2],
               values[3],
               std::string(line.substr(0, comma)),
               std::string(line.substr(comma + 1))};
}

AxisRange tornadoRange(const std::vector<Bar>& bars, double centre, double labelShare) {
    double most = 0;
    for (const Bar& b : bars) {
        most = std::max({most, std::fabs(b.atLow - centre), std::fabs(b.atHigh - centre)});
    }
    if (!(most > 0) || !std::isfinite(most)) {
        most = 0.1; // no bar has length: an axis still reads
    }
    // A bar's end stops short of its half by the label and a twentieth more.
    const double half = most / (1 - std::clamp(labelShare, 0.0, 0.8)) * 1.05;
    return {-half, half};
}

std::string tickText(double value, double step) {
    const double decimals = step > 0 && std::isfinite(step) ? std::ceil(-std::log10(step) - 1e-9) : 0;
    const int places = static_cast<int>(std::clamp(decimals, 0.0, 15.0));
    if (std::fabs(value) < std::fabs(step) * 1e-6) {
        value = 0; // also -0
    }
    std::array<char, 400> text{}; // 1e308 in full; to_chars reads no locale
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, places);
    if (end.ec != std::errc()) {
        return {};
    }
    std::string out(text.data(), end.ptr);
    if (places > 0) { // 0.5, 1 and 1.5 on one axis, not 1.0
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') {
            out.pop_back();
        }
    }
    return out;
}

} // namespace vistrel::plot
