// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_file.h"
#include "command_line.h"
#include "csv_reader.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace vistrel::cli {

namespace {

// A header cell that makes the ; reading of a line the right one.
bool isCaseName(std::string_view name) {
    if (columnIndex(name)) {
        return true;
    }
    return std::any_of(kColumnAliases.begin(), kColumnAliases.end(),
                       [&](const ColumnAlias& a) { return a.alias == name; });
}

Error fileError(const std::string& path, const std::string& why, int line = 0) {
    return {ErrorKind::Usage, why, "--case " + path, line};
}

Expected<std::vector<CaseFileValue>> readCaseCsv(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rbe");
    if (in == nullptr) {
        return fileError(path, std::string("cannot read: ") + std::strerror(errno));
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(in, std::fclose);
    CsvReader reader(in, 0, isCaseName);
    CsvRecord header;
    CsvRecord row;
    if (!reader.next(header)) {
        return fileError(path, "is empty: it needs a header and one row");
    }
    if (!header.error.empty()) {
        return fileError(path, header.error, static_cast<int>(header.line));
    }
    if (!reader.next(row)) {
        return fileError(path, "has no row under its header: a case file holds one");
    }
    const int line = static_cast<int>(row.line);
    if (!row.error.empty()) {
        return fileError(path, row.error, line);
    }
    if (row.cells.size() != header.cells.size()) {
        return fileError(path, "the row's cells do not match the header", line);
    }
    if (CsvRecord more; reader.next(more)) {
        return fileError(path, "holds more than one row: a case file holds one case", static_cast<int>(more.line));
    }
    if (reader.inputFailed()) {
        return fileError(path, std::string("reading failed: ") + std::strerror(reader.inputErrno()));
    }
    std::vector<CaseFileValue> values;
    for (std::size_t k = 0; k < header.cells.size(); ++k) {
        auto column = caseFileColumn(header.cells[k], path, static_cast<int>(header.line));
        if (!column) {
            return column.error();
        }
        if (*column) {
            values.push_back({**column, std::string(row.cells[k]), line});
        }
    }
    return values;
}

} // namespace

void addCaseFileOption(CLI::App& command, CaseOptions& options) {
    options.caseFile = command.add_option("--case", options.file,
                                          "A case kept in a file: a one-row CSV, or a .toml table, of the case "
                                          "options' names; the options given go over it");
}

Expected<std::vector<CaseFileValue>> readCaseFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return fileError(path, std::string("cannot read: ") + std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return fileError(path, S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxCaseFileBytes) {
        return fileError(path, "is larger than 64 KiB, the most a case file may hold");
    }
    Expected<std::vector<CaseFileValue>> values =
        std::filesystem::path(path).extension() == ".toml" ? loadCaseToml(path) : readCaseCsv(path);
    if (!values) {
        Error e = values.error();
        if (!e.file.starts_with("--case ")) {
            e.file = "--case " + path;
        }
        return e;
    }
    std::vector<bool> seen(kColumns.size());
    for (const CaseFileValue& v : *values) {
        if (seen[v.column]) {
            return fileError(path, std::string(kColumns[v.column].name) + " is given twice", v.line);
        }
        seen[v.column] = true;
    }
    return values;
}

} // namespace vistrel::cli
