// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/regions.h"

#include "analysis/read_bounded.h"
#include "calc/utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <unordered_map>

namespace vistrel::screen {

namespace {

constexpr std::size_t kMaxRegions = 10'000;
constexpr std::size_t kMaxRegionsFileBytes = std::size_t{16} * 1024 * 1024;

struct Record {
    int line = 0; // where it starts
    std::vector<std::string> cells;
};

// RFC 4180 records: a quoted cell may hold commas, line ends and "" for a
// quote. The line ends and a UTF-8 byte order mark are taken off; blank lines
// are left out.
Expected<std::vector<Record>> records(std::string_view text, const std::string& file) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<Record> out;
    int line = 1;
    std::size_t at = 0;
    while (at < text.size()) {
        Record record{line, {}};
        std::string cell;
        bool ended = false;
        while (!ended) {
            cell.clear();
            if (at < text.size() && text[at] == '"') {
                const int opened = line;
                ++at;
                for (;;) {
                    if (at >= text.size()) {
                        return Error{cli::ErrorKind::Usage, "a quoted cell is never closed", file, opened};
                    }
                    if (text[at] == '"') {
                        if (at + 1 < text.size() && text[at + 1] == '"') {
                            cell += '"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        break;
                    }
                    line += text[at] == '\n' ? 1 : 0;
                    cell += text[at++];
                }
                const bool lineEnd =
                    text.substr(at, 1) == "\n" || text.substr(at) == "\r" || text.substr(at, 2) == "\r\n";
                if (at < text.size() && text[at] != ',' && !lineEnd) {
                    return Error{cli::ErrorKind::Usage, "text after a quoted cell's closing quote", file, line};
                }
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != '\n') {
                    cell += text[at++];
                }
                if (cell.ends_with('\r') && (at >= text.size() || text[at] == '\n')) {
                    cell.pop_back();
                }
            }
            if (at < text.size() && text[at] == '\r' && (at + 1 == text.size() || text[at + 1] == '\n')) {
                ++at;
            }
            record.cells.push_back(cell);
            if (at >= text.size() || text[at] == '\n') {
                ended = true;
                ++line;
            }
            ++at;
        }
        const bool blankLine = record.cells.size() == 1 && record.cells[0].empty();
        if (!blankLine) {
            out.push_back(std::move(record));
        }
    }
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

bool wellFormed(std::string_view s) {
    while (!s.empty()) {
        const std::size_t length = utf8::sequenceLength(s);
        if (length == 0) {
            return false;
        }
        s.remove_prefix(length);
    }
    return true;
}

constexpr std::array<std::string_view, 6> kColumns{"id", "x", "y", "w", "h", "label"};

} // namespace

Expected<std::vector<Region>> readRegions(const std::string& file, int width, int height) {
    auto refuse = [&](std::string message, int line) {
        return Error{cli::ErrorKind::Usage, std::move(message), file, line};
    };
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return refuse("is a folder, not a regions file", 0);
    }
    auto text = cli::readBounded(file, kMaxRegionsFileBytes, "the regions file", cli::ErrorKind::Usage);
    if (!text) {
        return text.error();
    }
    if (text->size() > kMaxRegionsFileBytes) {
        return refuse("is larger than 16 MiB, the most a regions file may hold", 0);
    }
    auto rows = records(*text, file);
    if (!rows) {
        return rows.error();
    }
    if (rows->empty()) {
        return refuse("is empty: it needs the header id,x,y,w,h[,label] and a line per region", 0);
    }
    const Record& header = rows->front();
    const std::size_t columns = header.cells.size();
    bool headerOk = columns == 5 || columns == 6;
    for (std::size_t i = 0; headerOk && i < columns; ++i) {
        std::string name(trimmed(header.cells[i]));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        headerOk = name == kColumns[i];
    }
    if (!headerOk) {
        return refuse("the first line must be the header id,x,y,w,h or id,x,y,w,h,label", header.line);
    }
    if (rows->size() - 1 > kMaxRegions) {
        return refuse("has more than " + std::to_string(kMaxRegions) + " regions, the most a file may hold",
                      (*rows)[kMaxRegions + 1].line);
    }

    std::vector<Region> regions;
    regions.reserve(rows->size() - 1);
    std::unordered_map<std::string, int> firstLines;
    for (std::size_t r = 1; r < rows->size(); ++r) {
        const Record& row = (*rows)[r];
        if (row.cells.size() != columns) {
            return refuse("the line has " + std::to_string(row.cells.size()) + " cells; the header has " +
                              std::to_string(columns),
                          row.line);
        }
        Region region;
        region.id = row.cells[0];
        if (trimmed(region.id).empty()) {
            return refuse("the id is empty", row.line);
        }
        if (!wellFormed(region.id) || (columns == 6 && !wellFormed(row.cells[5]))) {
            return refuse("the id or label is not UTF-8 text", row.line);
        }
        if (const auto [first, added] = firstLines.try_emplace(region.id, row.line); !added) {
            return refuse("id '" + region.id + "' is repeated (first at line " + std::to_string(first->second) + ")",
                          row.line);
        }
        std::array<std::int64_t, 4> numbers{};
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            const std::string_view name = kColumns[k + 1];
            const std::string_view cell = trimmed(row.cells[k + 1]);
            if (cell.starts_with('-') && cell.size() > 1) {
                return refuse(std::string(name) + " '" + std::string(cell) + "' is negative", row.line);
            }
            const bool digits =
                !cell.empty() && std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits) {
                return refuse(std::string(name) + " '" + std::string(cell) + "' is not a whole number of pixels",
                              row.line);
            }
            for (const char c : cell) {
                numbers[k] = numbers[k] * 10 + (c - '0');
                if (numbers[k] > 1'000'000'000) {
                    return refuse(std::string(name) + " '" + std::string(cell) + "' is far outside the image",
                                  row.line);
                }
            }
        }
        const auto [x, y, w, h] = numbers;
        if (w == 0 || h == 0) {
            return refuse("the box is empty (w " + std::to_string(w) + ", h " + std::to_string(h) + ")", row.line);
        }
        if (x + w > width || y + h > height) {
            return refuse("the box x " + std::to_string(x) + ", y " + std::to_string(y) + ", w " + std::to_string(w) +
                              ", h " + std::to_string(h) + " leaves the " + std::to_string(width) + " x " +
                              std::to_string(height) + " image",
                          row.line);
        }
        region.box = {static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
        if (columns == 6) {
            region.label = row.cells[5];
        }
        regions.push_back(std::move(region));
    }
    return regions;
}

} // namespace vistrel::screen
