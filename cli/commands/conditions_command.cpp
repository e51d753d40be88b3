// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "commands.h"
#include "csv_reader.h"

#include "analysis/case_notes.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

namespace vistrel::cli {

namespace {

// A name either file's header may hold: decides a ; separated file.
bool isNamedHeader(std::string_view name) {
    return columnIndex(name) || std::find(kLabelColumns.begin(), kLabelColumns.end(), name) != kLabelColumns.end() ||
           name == "design" || name == "condition" || name == "comment" || name == kMessageColumn ||
           name == kMarginColumn;
}

} // namespace

Expected<std::vector<NamedRow>> readNamedRows(const std::string& path, std::initializer_list<std::string_view> labels,
                                              std::initializer_list<std::string_view> ignored, bool keepEmpty,
                                              const RowLimit& limit, DecimalMark decimal) {
    std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rbe");
    if (in == nullptr) {
        return usageError("cannot read " + path + ": " + std::strerror(errno));
    }
    std::string error;
    CsvReader reader(in, 0, isNamedHeader);
    std::vector<NamedRow> rows;
    CsvRecord record;
    std::vector<std::optional<std::size_t>> columns;
    std::optional<std::size_t> labelAt;
    std::size_t labelRank = labels.size(); // of the label column found, in labels' order
    const auto fail = [&](const std::string& why) {
        error = path + ": " + why;
        rows.clear();
    };
    if (!reader.next(record)) {
        fail("the input is empty: it needs a header row");
    } else if (!record.error.empty()) {
        fail("line " + std::to_string(record.line) + " (header): " + record.error);
    } else {
        for (std::size_t k = 0; k < record.cells.size() && error.empty(); ++k) {
            const std::string name(record.cells[k]);
            const auto index = columnIndex(name);
            columns.push_back(index);
            const auto rank = static_cast<std::size_t>(std::find(labels.begin(), labels.end(), name) - labels.begin());
            if (rank < labelRank) {
                labelAt = k;
                labelRank = rank;
            } else if (!index && rank == labels.size() &&
                       std::find(ignored.begin(), ignored.end(), name) == ignored.end() &&
                       std::find(kLabelColumns.begin(), kLabelColumns.end(), name) == kLabelColumns.end()) {
                const auto near = nearColumn(name);
                fail("unknown column \"" + name + "\" in the header" +
                     (near ? "; did you mean \"" + std::string(*near) + "\"?" : ""));
            }
        }
        while (error.empty() && reader.next(record)) {
            if (!record.error.empty() || record.cells.size() != columns.size()) {
                fail("line " + std::to_string(record.line) + ": " +
                     (record.error.empty() ? "the row's cells do not match the header" : record.error));
                break;
            }
            if (rows.size() == limit.most) {
                fail("more than " + std::to_string(limit.most) + " " + std::string(limit.rows) + ", the most " +
                     std::string(limit.taker) + " takes; split the file");
                break;
            }
            NamedRow row{labelAt ? std::string(record.cells[*labelAt]) : std::to_string(rows.size() + 1),
                         {},
                         labelAt.has_value()};
            std::size_t bytes = row.name.size();
            std::string scratch;
            for (std::size_t k = 0; k < columns.size() && error.empty(); ++k) {
                if (columns[k] && (keepEmpty || !record.cells[k].empty())) {
                    const Column& column = kColumns[*columns[k]];
                    auto text = column.field
                                    ? numberCellText(record.cells[k], column.name, decimal, reader.delimiter(), scratch)
                                    : Expected<std::string_view>(record.cells[k]);
                    if (!text) {
                        fail("line " + std::to_string(record.line) + ": " + text.error().message);
                        break;
                    }
                    row.cells.emplace_back(*columns[k], *text);
                    bytes += text->size();
                }
            }
            if (!error.empty()) {
                break;
            }
            if (bytes > kMaxNamedRowBytes) {
                fail("line " + std::to_string(record.line) + ": the row's name and cells hold " +
                     std::to_string(bytes) + " bytes, more than the " + std::to_string(kMaxNamedRowBytes) +
                     " a row may hold");
                break;
            }
            rows.push_back(std::move(row));
        }
    }
    if (error.empty() && reader.inputFailed()) {
        fail(std::string("reading failed: ") + std::strerror(reader.inputErrno()));
    }
    if (in != stdin) {
        std::fclose(in);
    }
    if (!error.empty()) {
        return usageError(error);
    }
    return rows;
}

std::string conditionsFile(const std::string& given, std::span<const std::filesystem::path> dirs) {
    if (!given.empty()) {
        return given;
    }
    std::error_code ec;
    for (const auto& dir : dirs) {
        if (std::filesystem::is_regular_file(dir / kDefaultConditions, ec)) {
            return (dir / kDefaultConditions).string();
        }
    }
    return {};
}

std::string placesText(std::span<const std::filesystem::path> dirs) {
    std::string text;
    for (std::size_t k = 0; k < dirs.size(); ++k) {
        text += (k == 0 ? "" : k + 1 == dirs.size() ? " or " : ", ") + dirs[k].string();
    }
    return text;
}

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

} // namespace

Expected<CommandResult> runConditions(const Invocation& run, const NumberText& numbers) {
    CommandResult result;
    const auto dirs = conditionsSearchDirs(programDir());
    const std::string conditionsPath = conditionsFile(run.conditions, dirs);
    if (conditionsPath.empty()) {
        return usageError("the default conditions file is not installed (no " + std::string(kDefaultConditions) +
                          " in " + placesText(dirs) + "): give --conditions FILE.csv");
    }
    const auto designsRead = readNamedRows(run.input, {"design", "id"}, {kMessageColumn, kMarginColumn}, true,
                                           {kMaxConditionPairs, "designs", "one run"}, run.decimal);
    if (!designsRead) {
        return designsRead.error();
    }
    const auto conditionsRead = readNamedRows(conditionsPath, {"condition"}, {"comment"}, false,
                                              {kMaxConditions, "conditions", "one run"}, run.decimal);
    if (!conditionsRead) {
        return conditionsRead.error();
    }
    const std::vector<NamedRow>& designs = *designsRead;
    if (designs.empty() || conditionsRead->empty()) {
        return usageError((designs.empty() ? run.input : conditionsPath) + ": no rows");
    }
    const auto seen = gridConditions(run, *conditionsRead, numbers);
    if (!seen) {
        return seen.error();
    }
    const std::vector<NamedRow>& conditions = *seen;
    // Every pair is a row of the table and a cell of the grid, all held until written.
    if (designs.size() > kMaxConditionPairs / conditions.size()) {
        return usageError(std::to_string(designs.size()) + " designs under " + std::to_string(conditions.size()) +
                          " conditions make " + std::to_string(designs.size() * conditions.size()) +
                          " cases, more than the " + std::to_string(kMaxConditionPairs) + " one run takes; split " +
                          run.input);
    }

    // Every design under every condition, as a daylight case.
    // Every row shows the same columns: those any design or condition sets.
    ColumnSet shown = rowColumns(designs);
    shown.add(rowColumns(conditions));
    const Case blank = designStart(run, shown);
    std::string table = "design,condition," + outputHeader(blank.shown());
    std::vector<char> noDaylight(designs.size(), 1); // under no condition can ambient light change it
    const ConditionsGrid outcomes = evaluateConditions(
        designs, conditions, numbers,
        [&](std::size_t d, std::size_t k, const Case& c, const Evaluation& e) {
            noDaylight[d] = static_cast<char>(noDaylight[d] != 0 && ambientHasNoEffect(c, numbers));
            appendCsvCell(table, designs[d].name, run.guardFormulas);
            table += ',';
            appendCsvCell(table, conditions[k].name, run.guardFormulas);
            table += ',';
            appendRow(table, c, e, run.guardFormulas);
            if (run.progress) {
                run.progress(d * conditions.size() + k + 1, designs.size() * conditions.size());
            }
        },
        blank);
    const bool allLegible = outcomes.allLegible;
    std::vector<std::vector<std::string>> grid(designs.size());
    for (std::size_t d = 0; d < designs.size(); ++d) {
        for (const ConditionOutcome& o : outcomes.cells[d]) {
            grid[d].push_back(o.hasVerdict ? std::string(o.legible ? kLegible : kNotLegible) + " " +
                                                 (o.margin ? numbers.threeDecimals(*o.margin) : std::string())
                                           : "no verdict");
        }
        grid[d][outcomes.worst[d]] += " *";
    }

    // The grid is read on a terminal: names, from the files, show control characters as \xNN.
    std::vector<std::string> designNames;
    std::vector<std::string> conditionNames;
    designNames.reserve(designs.size());
    conditionNames.reserve(conditions.size());
    for (const NamedRow& row : designs) {
        designNames.push_back(escaped(row.name));
    }
    for (const NamedRow& row : conditions) {
        conditionNames.push_back(escaped(row.name));
    }
    std::vector<std::size_t> widths(conditions.size() + 1, std::string("design").size());
    for (std::size_t d = 0; d < designs.size(); ++d) {
        widths[0] = std::max(widths[0], designNames[d].size());
        for (std::size_t k = 0; k < conditions.size(); ++k) {
            widths[k + 1] = std::max({widths[k + 1], conditionNames[k].size(), grid[d][k].size()});
        }
    }
    std::ostringstream out;
    const auto line = [&](const std::string& first, const auto& cell) {
        std::string text = padded(first, widths[0]);
        for (std::size_t k = 0; k < conditions.size(); ++k) {
            text += "  " + padded(cell(k), widths[k + 1]);
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    };
    line("design", [&](std::size_t k) { return conditionNames[k]; });
    for (std::size_t d = 0; d < designs.size(); ++d) {
        line(designNames[d], [&](std::size_t k) { return grid[d][k]; });
    }
    out << "* the worst condition of the design (verdict and margin_log)\n" << eyePointLines(run, numbers);
    std::string unlit;
    for (std::size_t d = 0; d < designs.size(); ++d) {
        if (noDaylight[d] != 0) {
            unlit += (unlit.empty() ? "" : ", ") + designNames[d];
        }
    }
    if (!unlit.empty()) {
        out << "No display_reflectance for " << unlit
            << ": ambient light adds no veil, so conditions that differ only in ambient light give the same "
               "result.\n";
    }
    out << (allLegible ? "Every design is legible under every condition.\n"
                       : "Some design is not legible under some condition.\n");
    result.table = std::move(table);
    result.out = out.str();
    result.status = allLegible ? 0 : (run.failOn ? kFailedOn : 1);
    if (!allLegible && run.failOn) {
        const auto failing = static_cast<std::size_t>(
            std::count_if(outcomes.cells.begin(), outcomes.cells.end(), [](const std::vector<ConditionOutcome>& row) {
                return std::any_of(row.begin(), row.end(), [](const ConditionOutcome& o) { return !o.legible; });
            }));
        result.notice = failingText(failing, designs.size(), *run.failOn) + " under some condition\n";
    }
    return result;
}

namespace {

constexpr std::string_view kConditionsFooter =
    "A condition is a named row (column condition; a comment column is ignored) whose non-empty cells "
    "override the design's.\nExample:\n  vistrel-cli conditions designs.csv -o all.csv\n"
    "At most 1000 conditions, 100000 designs x conditions, and 512 bytes in a row's name and cells.\n"
    "Exit status: 0 when every design is legible under every condition; 1 otherwise or when the input or "
    "output failed; 2 for a usage error; with --fail-on not-legible, 3 instead of 1 for a design not legible.";

} // namespace

void addConditionsOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("designs", run.input, "CSV of designs, as for batch; a design column names them")->required();
    command.add_option("--conditions", run.conditions, "CSV of named conditions (default: the shipped one)");
    command.add_option("-o,--output", run.output, "Where to write the full table; - or nothing for stdout");
    addFormulaGuardFlag(command, run);
    addSheetOptions(command, options, true);
    addQuietFlag(command, run);
    addFailOnOption(command, options, "not-legible (or has no verdict) under some condition");
    addViewOptions(command, options);
    command.footer(std::string(kConditionsFooter));
}

Expected<void> finishConditions(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    if (auto failOn = checkFailOn(command, options, false); !failOn) {
        return failOn;
    }
    if (auto sheet = finishSheetOptions(command, options, true); !sheet) {
        return sheet;
    }
    return finishViewOptions(command, options, numbers);
}

Expected<int> runConditionsCommand(Invocation& run, Console& console, const NumberText& numbers) {
    Progress progress(console.err, console.errIsTerminal && !run.quiet, "cases", 0);
    run.progress = progress.hook();
    const auto result = runConditions(run, numbers);
    progress.finish();
    if (!result) {
        return result.error();
    }
    auto status = writeReport(run, console, *result);
    if (status && *status == kFailedOn) {
        console.err.write("vistrel-cli conditions: " + result->notice);
    }
    return status;
}

} // namespace vistrel::cli
