// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The arguments of vistrel-cli, and the option helpers its commands share.

#include "analysis/angular_table.h"
#include "analysis/case_file.h"
#include "analysis/cases.h"
#include "analysis/expected.h"
#include "analysis/explore.h"
#include "analysis/review.h"
#include "analysis/viewpoint.h"
#include "plot_points.h"
#include "screen/image.h"
#include "sheet.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace vistrel::cli {

// Each has its row in kCommands (command_table.h), in this order.
enum class Command { Eval, Batch, Solve, Sweep, Check, Conditions, Tolerance, Report, Screen, Count };

// The screen image of screen and of report --screen, and how its pixels become light.
struct ScreenRequest {
    std::string image;          // empty: report without --screen
    std::string display;        // --display FILE.toml
    std::string regions;        // --regions FILE.csv; empty to find the text
    std::string table;          // screen --table: .json for JSON, else CSV
    screen::DisplayModel model; // the options given, laid over --display's file
    std::optional<double> mmPerPixel;
    double comfortable = 0.3; // --comfortable-margin, log units
};

struct Invocation;
struct JudgedScreen;
// Loads, finds, measures and judges a screen image: only the program that
// links the image library has one (vistrel-screen); vistrel-cli hands it
// every run that needs it.
using ScreenJudge = Expected<JudgedScreen> (*)(const Invocation& run, const Case& base, const NumberText& numbers);

struct Invocation {
    Command command = Command::Eval;
    Case base; // the case options of eval, solve and sweep
    bool json = false;
    // batch and conditions (sweep always): a ' before CSV text a spreadsheet would run
    bool guardFormulas = true;
    bool keepUnknown = false; // batch: pass columns that are no input through
    char delimiter = 0;       // batch: the input's separator; 0 to detect it
    std::string input;        // batch, conditions and report
    std::string output;       // batch, sweep, conditions and check; empty for stdout (check: no table)
    // batch, sweep and conditions: the CSV table's shape (plain for JSON)
    SheetStyle sheet;
    DecimalMark decimal = DecimalMark::Detect; // batch and conditions: the inputs' number cells
    std::string plot;                          // sweep
    bool logX = false;                         // sweep --plot
    plot::Size plotSize;
    std::string solveFor;
    std::size_t solveColumn = 0;
    SolveRange range{};
    SweepSpec sweep;
    std::vector<std::string> profiles;   // check, batch and report
    std::string conditions;              // empty for the default conditions
    std::vector<std::string> tolerances; // NAME=SPREAD, as given
    std::uint64_t samples = 100'000;
    std::uint64_t seed = 1;
    unsigned threads = 0;   // every core
    std::string title;      // report
    std::string reviewMeta; // report: the --review-meta file
    // report: --doc-id, --revision, --date, --prepared-by and --approved-by as
    // given, in that order; each overrides the file's, even when empty
    std::array<std::optional<std::string>, 5> metaOptions{};
    // batch, conditions and report: what makes the run end in kFailedOn
    std::optional<FailOn> failOn{};
    // --angular, read when the command line is; the cases carry it
    std::string angular;
    std::string caseFile; // --case FILE, an input that no output may replace
    std::shared_ptr<const AngularTable> angularTable;
    // conditions and report: --eye-points, read when the command line is
    std::string eyePoints;
    std::vector<EyePoint> eyes;
    DisplayPlacement display{};
    ScreenRequest screen;
    ScreenJudge judgeScreen = nullptr;
    bool quiet = false; // --quiet: no progress line
    // How far the run is, and of how much (0: not known); set while a progress line is shown.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;

    [[nodiscard]] std::string_view name() const;
};

inline constexpr int kUsageError = 2;
// A design failed what --fail-on names; the run itself succeeded.
inline constexpr int kFailedOn = 3;

// The text with control characters and escape sequences shown as \xNN, so
// that a header, cell or path cannot drive the terminal a message goes to.
std::string escaped(std::string_view text);
// The same line by line, for a table shown on a terminal: the line ends stay.
std::string escapedLines(std::string_view text);

// "vistrel-cli COMMAND: message" and where to read more; the usage status.
std::string usageMessage(std::string_view command, std::string_view message);

// A usage error's message that ends so is followed by the ease levels.
inline constexpr std::string_view kLevelsFollow = "; the levels, by short name:";
// What stderr shows for an error of COMMAND (empty: of vistrel-cli itself):
// a usage error as usageMessage, any other as "vistrel-cli COMMAND: text",
// a quiet one as nothing.
std::string errorMessage(std::string_view command, const Error& error);
// 2 for a usage error, 1 for any other.
int exitStatus(const Error& error);

// The case options every command but batch takes: --name value, one per input column.
struct CaseOptions {
    std::array<std::string, kColumns.size()> values;
    std::array<CLI::Option*, kColumns.size()> options{}; // null for the outputs, and until added
    std::vector<std::string> glare;                      // --glare LUX@DEG, one per source
    CLI::Option* glareOption = nullptr;

    // --eye, --display-centre and --display-normal, X,Y,Z each, as given.
    std::array<std::string, 3> points;
    std::array<CLI::Option*, 3> pointOptions{};
    std::string angular; // --angular FILE
    std::string file;    // --case FILE, whose values the options go over
    CLI::Option* caseFile = nullptr;

    void addTo(CLI::App& app);
    [[nodiscard]] bool added() const;
    // The mode as given is one of the modes; CLI11's wording, as vistrel-cli's own.
    [[nodiscard]] Expected<void> checkMode() const;
    // The case as given, carrying its --angular table; or a bad ease level (its
    // message asks for the levels), eye points that give no view or clash with
    // the columns they set, a table the case cannot take, or a --glare that is
    // not LUX@DEG or comes with --glare_lux or --glare_angle_deg.
    [[nodiscard]] Expected<Case> build(const NumberText& numbers) const;
    [[nodiscard]] bool eyeGiven() const;
    // A usage error when --eye fixes the column that what (--for, --vary) would change.
    [[nodiscard]] Expected<void> refuseFixedByEye(std::size_t column, std::string_view what) const;

  private:
    // Sets the view of the eye point options, when given.
    [[nodiscard]] Expected<void> placeByEye(Case& c, const NumberText& numbers) const;
};

// --case FILE of eval, solve, check and tolerance.
void addCaseFileOption(CLI::App& command, CaseOptions& options);
// The values of a case file, each an input named once; a usage error names the file.
[[nodiscard]] Expected<std::vector<CaseFileValue>> readCaseFile(const std::string& path);

// --angular FILE, the display's luminance off-axis.
void addAngularOption(CLI::App& command, std::string& file);
// The table in file, read as an option's value: its faults are usage errors.
[[nodiscard]] Expected<std::shared_ptr<const AngularTable>> readAngularOption(const std::string& file,
                                                                              const NumberText& numbers);

// What one command's options are read into, before its finish checks them.
struct CommandOptions {
    Invocation run;
    CaseOptions caseOptions;
    // Options read as text first, and checked by the command's finish.
    struct Texts {
        std::string seed; // CLI11 would read -1 and 2^64 as 2^64 - 1
        std::string delimiter;
        std::string min;
        std::string max;
        std::string vary;
        std::string plotSize;
        std::string failOn;
        std::array<std::string, 5> meta; // as Invocation::metaOptions
        std::string displayCentre;
        std::string displayNormal;
        // --white-cdm2, --black-cdm2, --transfer, --pixel-pitch-mm, --width-mm,
        // --mm-per-pixel and --comfortable-margin
        std::array<std::string, 7> screen;
        // --output-delimiter, --decimal and --excel-de
        std::string outputDelimiter;
        std::string decimal;
        bool excelDe = false;
    } texts;
};

// The ease levels, a line each: short name, then level.
std::string easeLevelList();
// "Ease of reading levels (short name, then level):" and the levels, for a footer.
std::string easeHelp();
// The help of --no-formula-guard, and its callback.
void addFormulaGuardFlag(CLI::App& command, Invocation& run);
// --output-delimiter, --decimal, --bom and --excel-de of a command that
// writes a CSV table; reads: the command reads CSV too, which --decimal then
// also names the decimal mark of.
void addSheetOptions(CLI::App& command, CommandOptions& options, bool reads);
// Reads them into run.sheet and run.decimal, a workbook from -o's extension;
// a usage error for a mix that no output can take. jsonIsTable: --json turns
// the table into JSON Lines (check's --json shapes its report instead).
Expected<void> finishSheetOptions(const CLI::App& command, CommandOptions& options, bool reads,
                                  bool jsonIsTable = true);
// --quiet of the commands that show progress on a terminal.
void addQuietFlag(CLI::App& command, Invocation& run);
// How the Monte Carlo draws of tolerance, and of report's --tol, are made.
void addDrawOptions(CLI::App& command, CommandOptions& options);
// The draw options and spreads that no case could take, refused before any output is opened.
Expected<void> checkDraws(const CLI::App& command, CommandOptions& options);
// --fail-on of batch, conditions and report; what it may name.
void addFailOnOption(CLI::App& command, CommandOptions& options, std::string_view choices);
// Reads --fail-on into options.run.failOn. checksTaken: the command checks
// profiles; required and recommended then need a --profile, since a default
// profile chosen behind the pipeline's back would decide what stops it.
Expected<void> checkFailOn(const CLI::App& command, CommandOptions& options, bool checksTaken);
// "2 of 5 designs fail --fail-on required (...)", for stderr.
[[nodiscard]] std::string failingText(std::size_t failing, std::size_t total, FailOn on);

// Long option names as typed: hyphens for underscores, and the clearer aliases.
std::string canonicalOption(const std::string& arg, const std::vector<std::string>& known);
// The long names an app takes.
std::vector<std::string> longNames(const CLI::App& app);
// The known name nearest to name, when it is near enough to be meant.
std::optional<std::string> nearest(const std::string& name, const std::vector<std::string>& known);
// "unknown option --x; did you mean --y?" for what the command did not take.
std::string unexpected(const std::string& arg, const std::vector<std::string>& known);
// An option's number, read as strictly as a field's text.
Expected<double> readNumber(std::string_view option, const std::string& text, const NumberText& numbers);

} // namespace vistrel::cli
