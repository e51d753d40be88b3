// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/viewpoint.h"

#include "analysis/read_bounded.h"
#include "text_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <variant>

namespace vistrel::cli {

namespace {

std::string rounded(double value, const NumberText& numbers) {
    const double scale = std::pow(10.0, kViewDecimals);
    const double r = std::round(value * scale) / scale;
    return numbers.plain(r == 0.0 ? 0.0 : r); // no "-0"
}

void setColumn(Case& c, Field field, const std::string& text) { c.set(*columnIndex(fieldInfo(field).key), text); }

} // namespace

Expected<Vec3> parsePoint(std::string_view text, const NumberText& numbers, std::string_view what) {
    Vec3 point{};
    std::size_t at = 0;
    for (std::size_t k = 0; k < point.size(); ++k) {
        const std::size_t comma = text.find(',', at);
        const bool last = k + 1 == point.size();
        if ((comma == std::string_view::npos) != last) {
            return usageError(std::string(what) + " \"" + std::string(text) +
                              "\" must be three numbers X,Y,Z in mm, separated by commas");
        }
        const std::string_view part = text.substr(at, last ? std::string_view::npos : comma - at);
        const ParsedNumber n = numbers.parse(part);
        if (!n.ok() || !std::isfinite(n.value)) {
            return usageError(std::string(what) + " \"" + std::string(text) + "\": \"" + std::string(part) +
                              "\" is not a number");
        }
        point[k] = n.value;
        at = comma + 1;
    }
    return point;
}

Expected<void> placeEye(Case& c, const Vec3& eye, const DisplayPlacement& display, const NumberText& numbers,
                        std::string_view what) {
    const auto view = viewFromPoints(eye, display.centre, display.normal);
    if (const auto* why = std::get_if<std::string>(&view)) {
        return usageError(std::string(what) + ": " + *why);
    }
    const ViewGeometry& g = std::get<ViewGeometry>(view);
    setColumn(c, Field::ViewDist2, rounded(g.distanceMm, numbers));
    setColumn(c, Field::ViewTiltDeg, rounded(g.tiltDeg, numbers));
    setColumn(c, Field::ViewPanDeg, rounded(g.panDeg, numbers));
    return {};
}

Expected<std::vector<EyePoint>> parseEyePoints(std::string_view text, const std::string& file,
                                               const NumberText& numbers) {
    const auto refuse = [&file](std::string why, int line = 0) { return inputError(std::move(why), file, line); };
    if (text.size() > kMaxEyePointBytes) {
        return refuse("the file is larger than 64 KiB, the most an eye-point file may hold");
    }
    const std::vector<TextLine> lines = textLines(text);
    if (lines.empty()) {
        return refuse("the file is empty: it needs the header name,x,y,z and a row per eye point");
    }
    const char separator = lines[0].text.find(';') != std::string_view::npos ? ';' : ',';
    const auto header = splitCells(lines[0].text, separator);
    constexpr std::array<std::string_view, 4> kNames{"name", "x", "y", "z"};
    std::array<std::size_t, 4> at{};
    for (std::size_t k = 0; k < kNames.size(); ++k) {
        const auto found = std::find(header.begin(), header.end(), kNames[k]);
        if (found == header.end()) {
            return refuse("the header has no column " + std::string(kNames[k]) + ": it must name name, x, y and z",
                          lines[0].number);
        }
        at[k] = static_cast<std::size_t>(found - header.begin());
    }
    if (header.size() != kNames.size()) {
        return refuse("the header must name only name, x, y and z", lines[0].number);
    }
    std::vector<EyePoint> eyes;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const int line = lines[k].number;
        if (lines[k].text.size() > kMaxNamedRowBytes) {
            return refuse("the row holds more than the " + std::to_string(kMaxNamedRowBytes) + " bytes a row may hold",
                          line);
        }
        const auto cells = splitCells(lines[k].text, separator);
        if (cells.size() != header.size()) {
            return refuse("the row's cells do not match the header name,x,y,z", line);
        }
        EyePoint eye{std::string(cells[at[0]]), {}, line};
        if (eye.name.empty()) {
            return refuse("the eye point has no name", line);
        }
        const auto same = [&eye](const EyePoint& other) { return other.name == eye.name; };
        if (const auto earlier = std::find_if(eyes.begin(), eyes.end(), same); earlier != eyes.end()) {
            return refuse("eye point \"" + eye.name + "\" is named on line " + std::to_string(earlier->line) +
                              " too: names must differ",
                          line);
        }
        for (std::size_t c = 0; c < 3; ++c) {
            const std::string_view cell = cells[at[c + 1]];
            const ParsedNumber n = numbers.parse(cell);
            if (!n.ok() || !std::isfinite(n.value)) {
                return refuse("eye point \"" + eye.name + "\": " + std::string(kNames[c + 1]) + " \"" +
                                  std::string(cell) + "\" is not a number in mm",
                              line);
            }
            eye.position[c] = n.value;
        }
        eyes.push_back(std::move(eye));
    }
    if (eyes.empty()) {
        return refuse("the file has no eye points, only its header");
    }
    return eyes;
}

Expected<std::vector<EyePoint>> loadEyePoints(const std::filesystem::path& file, const NumberText& numbers) {
    auto text = readBounded(file, kMaxEyePointBytes, "the eye-point file");
    if (!text) {
        return text.error();
    }
    return parseEyePoints(*text, file.string(), numbers);
}

Expected<std::vector<NamedRow>> conditionsFromEyePoints(std::span<const NamedRow> conditions,
                                                        std::span<const EyePoint> eyes, const DisplayPlacement& display,
                                                        const NumberText& numbers, const std::string& file) {
    const std::array<std::size_t, 3> placed{*columnIndex(fieldInfo(Field::ViewDist2).key),
                                            *columnIndex(fieldInfo(Field::ViewTiltDeg).key),
                                            *columnIndex(fieldInfo(Field::ViewPanDeg).key)};
    for (const NamedRow& condition : conditions) {
        for (const auto& [column, text] : condition.cells) {
            if (std::find(placed.begin(), placed.end(), column) != placed.end()) {
                return usageError("condition \"" + condition.name + "\" sets " + std::string(kColumns[column].name) +
                                  ", which the eye points of " + file + " give: leave it out of the conditions");
            }
        }
    }
    // Every pair is a column of the grid, as a condition is.
    if (eyes.size() > kMaxConditions / std::max<std::size_t>(conditions.size(), 1)) {
        return usageError(std::to_string(conditions.size()) + " conditions seen from " + std::to_string(eyes.size()) +
                          " eye points make " +
                          std::to_string(std::max<std::size_t>(conditions.size(), 1) * eyes.size()) +
                          " columns of the grid, more than the " + std::to_string(kMaxConditions) +
                          " conditions one run takes; split " + file);
    }
    // The view from each eye, as the cells a condition would set.
    std::vector<NamedRow> views;
    for (const EyePoint& eye : eyes) {
        Case c;
        if (auto done = placeEye(c, eye.position, display, numbers, "eye point \"" + eye.name + "\""); !done) {
            return inputError(done.error().message, file, eye.line);
        }
        NamedRow view{eye.name, {}, true};
        for (const std::size_t column : placed) {
            view.cells.emplace_back(column, c.text(column));
        }
        views.push_back(std::move(view));
    }
    if (conditions.empty()) {
        return views;
    }
    std::vector<NamedRow> rows;
    rows.reserve(conditions.size() * views.size());
    for (const NamedRow& condition : conditions) {
        for (const NamedRow& view : views) {
            NamedRow row{condition.name + " @ " + view.name, condition.cells, true};
            row.cells.insert(row.cells.end(), view.cells.begin(), view.cells.end());
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

} // namespace vistrel::cli
