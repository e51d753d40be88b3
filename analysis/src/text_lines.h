// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small CSV-like files (angular tables, eye points) read line by line.

#include <string_view>
#include <vector>

namespace vistrel::cli {

// The lines of a small CSV file, each with its number, the line ends and a
// UTF-8 byte order mark taken off; blank lines are left out.
struct TextLine {
    int number;
    std::string_view text;
};
[[nodiscard]] std::vector<TextLine> textLines(std::string_view text);
// The cells of a line, split at every separator (no quoting).
[[nodiscard]] std::vector<std::string_view> splitCells(std::string_view line, char separator);

} // namespace vistrel::cli
