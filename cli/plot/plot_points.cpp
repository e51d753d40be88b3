// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_points.h"

#include "calc/number_text.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

namespace vistrel::plot {

namespace {

std::optional<double> number(std::string_view text, const NumberText& numbers, double largest) {
    const ParsedNumber parsed = numbers.parse(text);
    if (!parsed.ok() || !std::isfinite(parsed.value) || std::fabs(parsed.value) > largest) {
        return std::nullopt;
    }
    return parsed.value;
}

// One line; nothing when it cannot be drawn.
std::optional<Point> parseLine(std::string_view line, const NumberText& numbers) {
    std::array<std::string_view, 4> cells;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const std::size_t comma = k + 1 < cells.size() ? line.find(',') : line.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        cells[k] = line.substr(0, comma);
        line.remove_prefix(k + 1 < cells.size() ? comma + 1 : comma);
    }
    if (cells[3].find(',') != std::string_view::npos) {
        return std::nullopt;
    }
    Point p;
    const auto x = number(cells[0], numbers, kLargestX);
    if (!x) {
        return std::nullopt;
    }
    p.x = *x;
    p.state = cells[3] == "Legible" ? State::Legible : cells[3] == "Not Legible" ? State::NotLegible : State::None;
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

} // namespace

Points readPoints(std::FILE* in) {
    const NumberText numbers(NumberFormat::invariant());
    Points result;
    std::string line;
    bool tooLong = false;
    const auto take = [&] {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto p = tooLong ? std::nullopt : parseLine(line, numbers);
        if (p && result.points.size() < kMaxPoints) {
            result.points.push_back(*p);
        } else if (!line.empty() || tooLong) {
            ++result.skipped;
        }
        line.clear();
        tooLong = false;
    };
    std::array<char, 1 << 16> buffer{};
    for (std::size_t n = 0; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        for (std::size_t k = 0; k < n; ++k) {
            if (buffer[k] == '\n') {
                take();
            } else if (line.size() < kMaxLineBytes) {
                line += buffer[k];
            } else {
                tooLong = true;
            }
        }
    }
    if (!line.empty() || tooLong) {
        take();
    }
    return result;
}

std::optional<Size> parseSize(std::string_view text, const NumberText& numbers) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) {
        return std::nullopt;
    }
    const auto side = [&](std::string_view part) -> std::optional<int> {
        const ParsedNumber parsed = numbers.parse(part);
        if (!parsed.ok() || parsed.value != std::floor(parsed.value) || parsed.value < kSmallestSide ||
            parsed.value > kLargestSide) {
            return std::nullopt;
        }
        return static_cast<int>(parsed.value);
    };
    const auto width = side(text.substr(0, x));
    const auto height = side(text.substr(x + 1));
    if (!width || !height) {
        return std::nullopt;
    }
    return Size{*width, *height};
}

} // namespace vistrel::plot
