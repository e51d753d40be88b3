// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands that judge a design beyond one verdict: under several
// conditions, against standards profiles, and across input tolerances.

#include "analysis/case_tolerance.h"
#include "analysis/conditions.h"
#include "analysis/profile.h"
#include "analysis/tolerance.h"
#include "batch.h"
#include "command_line.h"
#include "console.h"
#include "data_dirs.h"
#include "progress.h"
#include "screen/judge.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel::cli {

// What a command produced: the report for stdout and a table for -o.
struct CommandResult {
    int status = 0;
    std::string out;
    std::string table;   // conditions: the full table, for -o (or stdout before the report)
    std::string tornado; // tolerance: the plotter's input for --plot
    std::string notice;  // report: what was left out, for stderr
};

Expected<CommandResult> runCheck(Invocation& run, const NumberText& numbers);
Expected<CommandResult> runConditions(const Invocation& run, const NumberText& numbers);
Expected<CommandResult> runTolerance(const Invocation& run, const NumberText& numbers);

// check, conditions and tolerance: the table to -o, the tornado to --plot,
// the report to stdout; the result's status.
Expected<int> writeReport(const Invocation& run, Console& console, const CommandResult& result);
// vistrel-plot, or a usage error naming --plot when it is not installed.
Expected<std::string> plotterForPlot();
// Writes text to out and puts it in place.
Expected<void> writeAll(Output& out, std::string_view text);

// What report needs from outside: the helpers it runs (empty when missing)
// and the date it prints.
struct ReviewSetting {
    std::string plotter;
    std::string date;
};
// The review page of every design in run.input, in out; the status is 0, or
// kFailedOn when a design fails what --fail-on names.
Expected<CommandResult> runReview(const Invocation& run, const ReviewSetting& setting, const NumberText& numbers);

// How many rows a file may hold, named for the message: "more than 1000
// conditions, the most one run takes".
struct RowLimit {
    std::size_t most;
    std::string_view rows;
    std::string_view taker;
};

// Reads a CSV of named rows: the first of the label columns the header has
// names each row (else its number); the ignored columns and the id and label
// columns are skipped, the others must be case columns. Separated by , or ;,
// as batch reads them. keepEmpty keeps empty cells, which a condition leaves out.
// Stops at the first row past the limit, or one holding more than
// kMaxNamedRowBytes, with the reason as a usage error. Number cells mark
// decimals as decimal says (see numberCellText).
Expected<std::vector<NamedRow>> readNamedRows(const std::string& path, std::initializer_list<std::string_view> labels,
                                              std::initializer_list<std::string_view> ignored, bool keepEmpty,
                                              const RowLimit& limit, DecimalMark decimal = DecimalMark::Detect);

// The shipped conditions, in one of conditionsSearchDirs.
inline constexpr std::string_view kDefaultConditions = "default.csv";
// The conditions file given, or the shipped one; empty when none of dirs holds that.
[[nodiscard]] std::string conditionsFile(const std::string& given, std::span<const std::filesystem::path> dirs);
// The folders looked in, for a message: "a, b or c".
[[nodiscard]] std::string placesText(std::span<const std::filesystem::path> dirs);

// Loads every profile named, or says which could not be loaded and why.
[[nodiscard]] Expected<std::vector<Profile>> loadProfiles(const std::vector<std::string>& names);

// The tolerance analysis of run's --tol spreads and draws; a usage error
// names the option.
[[nodiscard]] Expected<ToleranceAnalysis> analyseTolerance(const Case& base, const Invocation& run,
                                                           const NumberText& numbers);
// The plotter's input for a tornado chart (plot_protocol.h): the margin with
// every input at its median, then the bars; empty when that margin is unknown.
std::string tornadoBars(const ToleranceAnalysis& a, const Case& base, const NumberText& numbers);

// batch --profile: one column per criterion and failed_checks. Loads every
// profile once, before anything is written, to refuse a bad one; every
// worker checks against those same profiles.
[[nodiscard]] Expected<ExtraColumnsFactory> profileColumns(const std::vector<std::string>& names,
                                                           const NumberText& numbers);

// --angular, --eye-points, --display-centre and --display-normal of
// conditions and report.
void addViewOptions(CLI::App& command, CommandOptions& options);
// Reads the table and the eye points, refusing them before any output is opened.
Expected<void> finishViewOptions(const CLI::App& command, CommandOptions& options, const NumberText& numbers);
// The grid's conditions: each seen from every eye point, when there are eye points.
[[nodiscard]] Expected<std::vector<NamedRow>> gridConditions(const Invocation& run, std::vector<NamedRow> conditions,
                                                             const NumberText& numbers);
// The case each design starts from: showing shown, with the --angular table.
[[nodiscard]] Case designStart(const Invocation& run, ColumnSet shown);
// Each eye point's viewing distance, tilt and pan, as the grid's conditions
// set them, and with --angular the off_axis_factor seen from it; empty
// without eye points.
[[nodiscard]] std::vector<NamedRow> eyeViews(const Invocation& run, const NumberText& numbers);
// The same, a line per eye point.
[[nodiscard]] std::string eyePointLines(const Invocation& run, const NumberText& numbers);

// The screen's own options, shared by screen and report --screen: the display
// model (--display, --white-cdm2, --black-cdm2, --transfer, --pixel-pitch-mm,
// --width-mm), --mm-per-pixel, --regions and --comfortable-margin.
void addScreenImageOptions(CLI::App& command, CommandOptions& options);
// Reads them into options.run.screen; a usage error names the option.
Expected<void> finishScreenImageOptions(const CLI::App& command, CommandOptions& options, const NumberText& numbers);

// A screen judged region by region, and its map.
struct JudgedScreen {
    screen::LuminanceImage image;
    std::vector<screen::RegionResult> results;
    std::string caption; // the case the map shows, in ASCII
    std::string mapPng;
};
// Loads run.screen.image, finds or reads its regions and judges each against
// base, whose luminances, letter height and ratio the screen replaces. A bad
// image, display model or regions file is a usage error naming its file.
[[nodiscard]] Expected<JudgedScreen> judgeScreen(const Invocation& run, const Case& base, const NumberText& numbers);
// The inputs a screen gives each region: set by an option they would be overwritten unseen.
inline constexpr std::array<Field, 6> kMeasuredFields{Field::LetterLumCDM, Field::LetterLum, Field::BackLumCDM,
                                                      Field::BackLum,      Field::LetterHT2, Field::LHSW};
// A screen's faults are the user's files: exit 2, as a bad option is, and named.
[[nodiscard]] Error screenFileError(Error e, const std::string& file);
// The table's header and one row of cells per region, numbers as the engine read and wrote them.
[[nodiscard]] std::vector<std::string_view> screenTableHeader();
[[nodiscard]] std::vector<std::vector<std::string>> screenTableRows(const JudgedScreen& judged);
[[nodiscard]] std::string screenTableCsv(const JudgedScreen& judged, bool guardFormulas);
[[nodiscard]] std::string screenTableJson(const JudgedScreen& judged, const std::string& image,
                                          const NumberText& numbers);
// The regions that are Not Legible or have no verdict.
[[nodiscard]] std::size_t notLegibleRegions(const JudgedScreen& judged);

} // namespace vistrel::cli
