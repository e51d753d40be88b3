// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A command's CSV table in the shape a spreadsheet asks for: another cell
// separator, decimal commas, a byte order mark, or a workbook.

#include "csv_reader.h"
#include "output_file.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct SheetStyle {
    char delimiter = ',';
    bool decimalComma = false; // number cells with a comma instead of a point
    bool bom = false;          // a UTF-8 byte order mark first
    bool xlsx = false;         // a workbook instead of text

    // The table as every command writes it without these options.
    [[nodiscard]] bool plain() const { return delimiter == ',' && !decimalComma && !bom && !xlsx; }
};

// True for a path that names a workbook: it ends in .xlsx, in any case.
[[nodiscard]] bool isXlsxPath(std::string_view path);

// How a spreadsheet shows a column of a command's tables, known by its name:
// the case columns and margin_log, and check's columns.
struct ColumnShape {
    bool number = false;   // its plain-number cells are numbers
    std::string_view unit; // shown under the name
    bool verdict = false;  // each cell is filled as its verdict or status says
};
[[nodiscard]] ColumnShape columnShape(std::string_view name);

enum class CellVerdict { Good, Bad, Neither };
// What a verdict column's cell says: Legible or pass, Not Legible or fail, or
// neither (no verdict, no value, not applicable).
[[nodiscard]] CellVerdict cellVerdict(std::string_view cell);

// Takes a command's CSV table (',' between cells, '.' in numbers, as it is
// written without a style) in any pieces, and hands each record on to row.
// Number cells are the cells of number columns (see columnShape) that hold a
// plain number: labels, names and messages stay text.
class TableSink : public Sink {
  public:
    bool write(std::string_view text) override;
    // Hands on a record the table did not end, and ends the output.
    Expected<void> finish();

  protected:
    explicit TableSink(Sink& to) : to_(to) {}
    Sink& target() { return to_; }
    [[nodiscard]] const Sink& target() const { return to_; }
    // One record; the first is the header. False when the output failed.
    virtual bool row(const std::vector<std::string>& cells) = 0;
    virtual Expected<void> close() = 0;
    [[nodiscard]] bool isNumberCell(std::size_t column, std::string_view cell) const;
    // The header's shape of a column; plain text beyond the header's columns.
    [[nodiscard]] ColumnShape shape(std::size_t column) const;
    [[nodiscard]] bool isHeader() const { return rows_ == 0; }

  private:
    bool endRecord();

    Sink& to_;
    std::vector<std::string> cells_{std::string()};
    std::vector<ColumnShape> shapes_;
    std::size_t rows_ = 0;
    enum class State { CellStart, Plain, Quoted, QuoteInQuoted } state_ = State::CellStart;
    bool failed_ = false;
};

// The sink that writes the table to `to` in style, or null when style is
// plain; path names the output in messages.
[[nodiscard]] std::unique_ptr<TableSink> tableSink(const SheetStyle& style, const std::string& path, Sink& to);

} // namespace vistrel::cli
