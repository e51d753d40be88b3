// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_points.h"

#include "plot_protocol.h"

#include "calc/number_text.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

namespace vistrel::plot {

Points readPoints(std::FILE* in) {
    const NumberText numbers(NumberFormat::invariant());
    Points result;
    std::string line;
    bool tooLong = false;
    const auto take = [&] {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto p = tooLong ? std::nullopt : parsePointLine(line, numbers);
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
