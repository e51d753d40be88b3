// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet.h"

#include "analysis/cases.h"
#include "analysis/profile.h"
#include "calc/calculate.h"
#include "check_table.h"
#include "xlsx.h"

#include <algorithm>
#include <cctype>

namespace vistrel::cli {

bool isXlsxPath(std::string_view path) {
    constexpr std::string_view kExtension = ".xlsx";
    if (path.size() <= kExtension.size()) {
        return false;
    }
    const std::string_view end = path.substr(path.size() - kExtension.size());
    return std::equal(end.begin(), end.end(), kExtension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

ColumnShape columnShape(std::string_view name) {
    if (const auto k = columnIndex(name)) {
        const auto& field = kColumns[*k].field;
        return {true, field ? fieldInfo(*field).unit : std::string_view(), field == Field::Result};
    }
    if (name == kMarginColumn) {
        return {true, {}, false};
    }
    for (const CheckColumn& column : kCheckColumns) {
        if (column.name == name) {
            return {column.number, {}, name == kCheckStatusColumn};
        }
    }
    return {};
}

CellVerdict cellVerdict(std::string_view cell) {
    if (cell == kLegible || cell == statusText(CheckStatus::Pass)) {
        return CellVerdict::Good;
    }
    if (cell == kNotLegible || cell == statusText(CheckStatus::Fail)) {
        return CellVerdict::Bad;
    }
    return CellVerdict::Neither;
}

bool TableSink::write(std::string_view text) {
    if (failed_) {
        return false;
    }
    for (const char c : text) {
        std::string& cell = cells_.back();
        switch (state_) {
        case State::Quoted:
            if (c == '"') {
                state_ = State::QuoteInQuoted;
            } else {
                cell += c;
            }
            continue;
        case State::QuoteInQuoted:
            if (c == '"') {
                cell += c; // a doubled quote
                state_ = State::Quoted;
                continue;
            }
            break;
        case State::CellStart:
            if (c == '"') {
                state_ = State::Quoted;
                continue;
            }
            break;
        case State::Plain: break;
        }
        if (c == ',') {
            cells_.emplace_back();
            state_ = State::CellStart;
        } else if (c == '\n') {
            if (!endRecord()) {
                return false;
            }
        } else {
            cell += c;
            state_ = State::Plain;
        }
    }
    return true;
}

bool TableSink::endRecord() {
    if (rows_ == 0) {
        for (const std::string& name : cells_) {
            shapes_.push_back(columnShape(name));
        }
    }
    failed_ = !row(cells_);
    ++rows_;
    cells_.assign(1, std::string());
    state_ = State::CellStart;
    return !failed_;
}

Expected<void> TableSink::finish() {
    if (!failed_ && (cells_.size() > 1 || !cells_.back().empty() || state_ != State::CellStart)) {
        endRecord();
    }
    if (failed_) {
        return failure();
    }
    return close();
}

bool TableSink::isNumberCell(std::size_t column, std::string_view cell) const {
    return shape(column).number && isPlainNumber(cell);
}

ColumnShape TableSink::shape(std::size_t column) const {
    return column < shapes_.size() ? shapes_[column] : ColumnShape{};
}

namespace {

// The table as CSV again, with the style's separator, decimal mark and byte order mark.
class StyledCsv final : public TableSink {
  public:
    StyledCsv(const SheetStyle& style, Sink& to) : TableSink(to), style_(style) {}

    [[nodiscard]] Error failure() const override { return target().failure(); }
    void writeBehind() override { target().writeBehind(); }

  private:
    bool row(const std::vector<std::string>& cells) override {
        std::string line = isHeader() && style_.bom ? "\xEF\xBB\xBF" : "";
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (k > 0) {
                line += style_.delimiter;
            }
            std::string_view cell = cells[k];
            std::string number;
            if (style_.decimalComma && !isHeader() && isNumberCell(k, cell)) {
                number.assign(cell);
                std::replace(number.begin(), number.end(), '.', ',');
                cell = number;
            }
            appendCell(line, cell);
        }
        line += '\n';
        return target().write(line);
    }

    // Quoted when the separator, a quote or a line end is in it, or a blank
    // at either end, as the plain table quotes with ','.
    void appendCell(std::string& out, std::string_view cell) const {
        const auto blank = [](char c) { return c == ' ' || c == '\t'; };
        const bool quoted = (!cell.empty() && (blank(cell.front()) || blank(cell.back()))) ||
                            cell.find_first_of(std::string{style_.delimiter, '"', '\r', '\n'}) != std::string::npos;
        if (!quoted) {
            out += cell;
            return;
        }
        out += '"';
        for (const char c : cell) {
            out += c;
            if (c == '"') {
                out += '"';
            }
        }
        out += '"';
    }

    Expected<void> close() override {
        if (style_.bom && isHeader() && !target().write("\xEF\xBB\xBF")) {
            return target().failure(); // an empty table still starts with its mark
        }
        return {};
    }

    SheetStyle style_;
};

} // namespace

std::unique_ptr<TableSink> tableSink(const SheetStyle& style, const std::string& path, Sink& to) {
    if (style.xlsx) {
        return xlsxSink(path, to);
    }
    if (style.plain()) {
        return nullptr;
    }
    return std::make_unique<StyledCsv>(style, to);
}

} // namespace vistrel::cli
