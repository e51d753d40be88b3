// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_lines.h"

#include <algorithm>

namespace vistrel::cli {

std::vector<TextLine> textLines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3); // as a spreadsheet saves UTF-8
    }
    std::vector<TextLine> lines;
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.push_back({number, line});
        }
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> splitCells(std::string_view line, char separator) {
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    for (std::size_t at = line.find(separator); at != std::string_view::npos; at = line.find(separator, start)) {
        cells.push_back(line.substr(start, at - start));
        start = at + 1;
    }
    cells.push_back(line.substr(start));
    return cells;
}

} // namespace vistrel::cli
