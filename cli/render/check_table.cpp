// SPDX-License-Identifier: GPL-3.0-or-later
#include "check_table.h"

#include "analysis/cases.h"
#include "csv_reader.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace vistrel::cli {

namespace {

// 15 significant digits, all a double holds for certain: a margin of
// 27.501 - 16 is 11.501, not the 11.501000000000001 of its last bit. Empty for
// none.
std::string fullNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return {};
    }
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), *value, std::chars_format::general, 15).ptr;
    return {text.data(), end};
}

// The unit of a quantity that is a table column; none for the derived ones.
std::string_view quantityUnit(std::size_t quantity) {
    const auto k = columnIndex(kQuantities[quantity].name);
    const auto& field = k ? kColumns[*k].field : std::nullopt;
    return field ? fieldInfo(*field).unit : std::string_view();
}

} // namespace

std::string checkTableHeader() {
    std::string header;
    for (const CheckColumn& column : kCheckColumns) {
        header += (header.empty() ? "" : ",") + std::string(column.name);
    }
    return header;
}

void appendCheckRows(std::string& table, const Profile& profile, std::span<const CheckResult> results,
                     bool guardFormulas) {
    for (const CheckResult& r : results) {
        const Criterion& c = *r.criterion;
        const std::string cells[] = {profile.name(),
                                     c.id,
                                     std::string(levelText(c.level)),
                                     std::string(kQuantities[c.quantity].name),
                                     std::string(quantityUnit(c.quantity)),
                                     std::string(kindText(c.kind)),
                                     fullNumber(r.value),
                                     fullNumber(r.limit),
                                     fullNumber(r.low),
                                     fullNumber(r.high),
                                     fullNumber(c.target),
                                     fullNumber(r.margin),
                                     fullNumber(r.marginRatio),
                                     std::string(statusText(r.status)),
                                     r.note,
                                     c.source,
                                     c.withdrawn,
                                     c.supersededBy};
        static_assert(std::size(cells) == kCheckColumns.size());
        for (std::size_t k = 0; k < kCheckColumns.size(); ++k) {
            if (k > 0) {
                table += ',';
            }
            // Numbers are written as they are: a negative margin is no formula.
            appendCsvCell(table, cells[k], guardFormulas && !kCheckColumns[k].number);
        }
        table += '\n';
    }
}

} // namespace vistrel::cli
