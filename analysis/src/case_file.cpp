// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_file.h"

#include "analysis/cases.h"
#include "analysis/read_bounded.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <charconv>

namespace vistrel::cli {

namespace {

// A case file's faults are the user's, as a bad option is.
Error caseError(std::string message, const std::string& file, int line = 0) {
    return {ErrorKind::Usage, std::move(message), file, line};
}

constexpr std::array<std::string_view, 3> kNameColumns{"id", "label", "design"};

std::string_view kindOf(const toml::node& node) {
    if (node.is_boolean()) {
        return "true or false";
    }
    if (node.is_array()) {
        return "a list";
    }
    if (node.is_table()) {
        return "a table";
    }
    return "a date or time";
}

} // namespace

Expected<std::optional<std::size_t>> caseFileColumn(std::string_view name, const std::string& file, int line) {
    if (std::find(kNameColumns.begin(), kNameColumns.end(), name) != kNameColumns.end()) {
        return std::optional<std::size_t>();
    }
    std::string_view canonical = name;
    for (const ColumnAlias& a : kColumnAliases) {
        if (name == a.alias) {
            canonical = a.name;
        }
    }
    const auto column = columnIndex(canonical);
    if (column && isInputColumn(*column)) {
        return std::optional<std::size_t>(*column);
    }
    if (column) {
        return caseError("\"" + std::string(name) + "\" is a result, not an input", file, line);
    }
    const auto near = nearColumn(name);
    return caseError("unknown input \"" + std::string(name) + "\"" +
                         (near ? "; did you mean " + std::string(*near) + "?" : std::string()),
                     file, line);
}

Expected<std::vector<CaseFileValue>> parseCaseToml(std::string_view text, const std::string& file) {
    if (text.size() > kMaxCaseFileBytes) {
        return caseError("the file is larger than 64 KiB, the most a case file may hold", file);
    }
    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& e) {
        return caseError(std::string(e.description()), file, static_cast<int>(e.source().begin.line));
    }
    std::vector<CaseFileValue> values;
    for (const auto& [key, node] : root) {
        const int line = static_cast<int>(key.source().begin.line);
        auto column = caseFileColumn(key.str(), file, line);
        if (!column) {
            return column.error();
        }
        std::string value;
        if (const auto* s = node.as_string()) {
            value = s->get();
        } else if (const auto* i = node.as_integer()) {
            value = std::to_string(i->get());
        } else if (const auto* d = node.as_floating_point()) {
            std::array<char, 32> digits{};
            const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), d->get()).ptr;
            value.assign(digits.data(), end);
        } else {
            return caseError(std::string(key.str()) + " must be a number or text, not " + std::string(kindOf(node)),
                             file, line);
        }
        if (!*column) {
            continue;
        }
        values.push_back({**column, std::move(value), line});
    }
    return values;
}

Expected<std::vector<CaseFileValue>> loadCaseToml(const std::filesystem::path& file) {
    auto text = readBounded(file, kMaxCaseFileBytes, "the case file");
    if (!text) {
        return caseError(text.error().message, text.error().file);
    }
    return parseCaseToml(*text, file.string());
}

} // namespace vistrel::cli
