// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/angular_table.h"

#include "analysis/read_bounded.h"
#include "analysis/viewpoint.h"
#include "text_lines.h"

#include <array>
#include <cmath>

namespace vistrel::cli {

Expected<AngularTable> AngularTable::parse(std::string_view text, std::string file, const NumberText& numbers) {
    const auto refuse = [&file](std::string why, int line = 0) { return inputError(std::move(why), file, line); };
    if (text.size() > kMaxAngularBytes) {
        return refuse("the table is larger than 64 KiB, the most an angular table may hold");
    }
    const std::vector<TextLine> lines = textLines(text);
    if (lines.empty()) {
        return refuse("the table is empty: it needs the header angle_deg,factor and at least two rows");
    }
    const char separator = lines[0].text == "angle_deg;factor" ? ';' : ',';
    if (lines[0].text != "angle_deg,factor" && separator != ';') {
        return refuse("the header must be angle_deg,factor, not \"" + std::string(lines[0].text.substr(0, 64)) + "\"",
                      lines[0].number);
    }
    AngularTable table;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const int line = lines[k].number;
        const auto cells = splitCells(lines[k].text, separator);
        if (cells.size() != 2) {
            return refuse("a row must be two cells, angle_deg and factor, not " + std::to_string(cells.size()), line);
        }
        std::array<double, 2> values{};
        for (std::size_t c = 0; c < 2; ++c) {
            const ParsedNumber n = numbers.parse(cells[c]);
            if (!n.ok() || !std::isfinite(n.value)) {
                return refuse(std::string(c == 0 ? "angle_deg" : "factor") + " \"" +
                                  std::string(cells[c].substr(0, 64)) + "\" is not a number",
                              line);
            }
            values[c] = n.value;
        }
        const AngularRow row{values[0], values[1]};
        if (row.angleDeg < 0) {
            return refuse("angle_deg " + numbers.plain(row.angleDeg) + " is negative: angles are from the normal, 0 up",
                          line);
        }
        if (!table.rows_.empty() && row.angleDeg <= table.rows_.back().angleDeg) {
            return refuse("angle_deg " + numbers.plain(row.angleDeg) + " does not follow " +
                              numbers.plain(table.rows_.back().angleDeg) + ": angles must increase strictly",
                          line);
        }
        if (row.factor < 0 || row.factor > 1) {
            return refuse("factor " + numbers.plain(row.factor) +
                              " is outside 0 to 1: it is the luminance relative "
                              "to the display's own",
                          line);
        }
        table.rows_.push_back(row);
    }
    if (table.rows_.size() < 2) {
        return refuse("the table has " + std::to_string(table.rows_.size()) +
                      " rows: it needs at least two to read between");
    }
    table.file_ = std::move(file);
    return table;
}

Expected<double> AngularTable::factorAt(double angleDeg, const NumberText& numbers) const {
    const AngularRow& first = rows_.front();
    const AngularRow& last = rows_.back();
    if (!(angleDeg >= first.angleDeg && angleDeg <= last.angleDeg)) {
        return inputError("the off-axis angle " + numbers.plain(angleDeg) + "° is outside the table's range, " +
                              numbers.plain(first.angleDeg) + "° to " + numbers.plain(last.angleDeg) + "°",
                          file_);
    }
    std::size_t k = 1;
    while (rows_[k].angleDeg < angleDeg) {
        ++k;
    }
    const AngularRow& a = rows_[k - 1];
    const AngularRow& b = rows_[k];
    if (angleDeg == b.angleDeg) {
        return b.factor; // a row's own value, not a sum that may round away from it
    }
    return a.factor + (b.factor - a.factor) * (angleDeg - a.angleDeg) / (b.angleDeg - a.angleDeg);
}

namespace {

double roundedView(double value) {
    const double scale = std::pow(10.0, kViewDecimals);
    const double r = std::round(value * scale) / scale;
    return r == 0.0 ? 0.0 : r; // no "-0"
}

} // namespace

Expected<std::string> AngularTable::factorText(std::string_view tilt, std::string_view pan,
                                               const NumberText& numbers) const {
    std::array<double, 2> angles{};
    const std::array<std::pair<Field, std::string_view>, 2> given{
        {{Field::ViewTiltDeg, tilt}, {Field::ViewPanDeg, pan}}};
    for (std::size_t k = 0; k < given.size(); ++k) {
        const auto& [field, text] = given[k];
        const ParsedNumber n = numbers.parse(text);
        if (!text.empty() && (!n.ok() || !std::isfinite(n.value))) {
            return usageError(std::string(fieldInfo(field).key) + " \"" + std::string(text) + "\" is not a number");
        }
        angles[k] = text.empty() ? 0.0 : n.value;
    }
    // As the tilt and pan an eye point gives: a table ending at 60 takes 60.0000000001.
    const auto factor = factorAt(roundedView(offAxisDeg(angles[0], angles[1])), numbers);
    if (!factor) {
        return factor.error();
    }
    return numbers.plain(roundedView(*factor));
}

Expected<AngularTable> loadAngularTable(const std::filesystem::path& file, const NumberText& numbers) {
    auto text = readBounded(file, kMaxAngularBytes, "the angular table");
    if (!text) {
        return text.error();
    }
    return AngularTable::parse(*text, file.string(), numbers);
}

} // namespace vistrel::cli
