// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sheet.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vistrel::cli {

// What one sheet of a workbook holds: the header and units rows take two rows.
inline constexpr std::size_t kMaxXlsxRows = 1'048'576;
inline constexpr std::size_t kMaxXlsxCellChars = 32'767;

// A command's CSV table as a workbook of one sheet: the header, a row of
// units under it (both frozen), number cells as numbers, the result cell
// filled by its verdict, and columns as wide as their text. The workbook is
// made in memory and written to `to` when finished, so that a failure leaves
// the output as the sink leaves it on any failure.
[[nodiscard]] std::unique_ptr<TableSink> xlsxSink(const std::string& path, Sink& to);

} // namespace vistrel::cli
