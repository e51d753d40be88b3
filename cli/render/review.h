// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The design-review document: everything known about one or more designs,
// gathered as display texts, and written as one self-contained HTML page.
// The page holds no script and fetches nothing, so it can be mailed and
// archived; the PDF helper (vistrel-pdf) lays out the same page.
//
// Every text of the model is plain text: the writer escapes it. Plots are
// SVG documents from the plotter; the writer keeps only their drawing.

#include "analysis/cases.h"
#include "analysis/explore.h"
#include "analysis/profile.h"
#include "analysis/tolerance.h"
#include "calc/number_text.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

// An input or output as the window shows it.
struct ReviewQuantity {
    std::string caption;
    std::string unit; // empty where there is none
    std::string value;
};

// One row of a standards table.
struct ReviewCheck {
    std::string id;
    std::string quantity;
    std::string value;  // empty: no value
    std::string limit;  // "≥ 16.000", "20.000 to 22.000"
    std::string margin; // value - limit
    CheckStatus status = CheckStatus::NoValue;
    Level level = Level::Required;
    std::string source;
    std::string note; // why there is no value
};

struct ReviewProfile {
    std::string name;
    std::string title;
    std::vector<ReviewCheck> checks;
};

// One inverse answer: "Legible up to 2834.66 mm".
struct ReviewAnswer {
    std::string question; // "Maximum viewing distance"
    std::string sentence;
    std::string value; // empty when there is no such value
    std::string unit;
};

struct ReviewPlot {
    std::string caption;
    std::string svg; // a whole SVG document
};

struct ReviewGridCell {
    std::string verdict; // "Legible", "Not Legible", or the message
    std::string margin;
    bool worst = false;
};

// The conditions grid: designs (or one design) against conditions.
struct ReviewGrid {
    std::vector<std::string> columns;
    struct Row {
        std::string label;
        std::vector<ReviewGridCell> cells; // one per column
    };
    std::vector<Row> rows;
};

struct ReviewCorner {
    std::string input;
    std::string value;
};

struct ReviewTolerance {
    std::string samples;
    std::string probability; // of Legible, as a percentage text
    std::string intervalLow;
    std::string intervalHigh;
    std::string p5, p50, p95;       // margin_log; empty without verdicts
    std::vector<std::string> notes; // truncations, samples ending in messages
    std::vector<ReviewCorner> worstCorner;
    std::string worstMargin;
    std::string worstVerdict;
    std::string tornadoSvg; // optional
};

struct ReviewDesign {
    std::string name;
    std::string verdict;               // "Legible", "Not Legible", or empty when the engine stopped
    std::string margin;                // margin_log
    std::vector<std::string> messages; // from the engine
    std::vector<ReviewQuantity> inputs;
    std::vector<ReviewQuantity> results;
    std::vector<ReviewProfile> profiles;
    std::vector<ReviewAnswer> answers;
    std::vector<ReviewPlot> plots;
    std::string plotsNote; // why there are none
    std::optional<ReviewGrid> conditions;
    std::optional<ReviewTolerance> tolerance;
};

struct Review {
    std::string title;
    std::string date; // the caller's: fixed in tests
    std::string version;
    std::vector<ReviewDesign> designs;
};

// The summary, inputs and results of an evaluated case: the input mode and
// every input that holds a text, every output but the verdict, and the
// margin, with the captions and units the window labels them with.
[[nodiscard]] ReviewDesign reviewDesign(std::string name, const Case& c, const Evaluation& e);

// The case's quantities for a standards check, margin_log included.
[[nodiscard]] QuantityValues reviewQuantities(const Case& c, const Evaluation& e, const NumberText& numbers);

// "ids that failed": required failures first, then recommended ones; empty
// when nothing failed. A required criterion without a value counts as failed.
[[nodiscard]] std::string failedChecksSummary(const ReviewDesign& design);

// The standards rows of one profile's results, numbers in three-decimal form.
[[nodiscard]] ReviewProfile reviewProfile(const Profile& profile, std::span<const CheckResult> results,
                                          const NumberText& numbers);

// The tolerance section from the analysis; names are the varied inputs, in
// the order of the distributions.
[[nodiscard]] ReviewTolerance reviewTolerance(const MonteCarloResult& mc, const WorstCase& worst,
                                              std::span<const std::string> names, const NumberText& numbers);

// The inverse answer from a solve over one input: the smallest legible
// value ("Legible from X") where the target says bigger reads better, else
// the largest ("Legible up to X"); or where Legible lies when there is no
// such limit, or the state that holds over the whole range.
[[nodiscard]] ReviewAnswer reviewAnswer(std::string question, const SolveTarget& target, const SolveResult& solved,
                                        const NumberText& numbers);

// Today's date in UTC, as YYYY-MM-DD.
[[nodiscard]] std::string todayUtc();
// The UTC date of a count of seconds since 1970 (SOURCE_DATE_EPOCH), or
// nothing when the text is no such count.
[[nodiscard]] std::optional<std::string> utcDate(std::string_view epochSeconds);

// Keeps the drawing of an SVG document and drops what could run or fetch:
// scripts, foreign objects, event attributes, links that leave the document,
// and styles that load anything. Empty when the text is no SVG.
[[nodiscard]] std::string sanitizedSvg(std::string_view svg);

[[nodiscard]] std::string escapeHtml(std::string_view text);

// The whole page.
[[nodiscard]] std::string reviewHtml(const Review& review);

} // namespace vistrel::cli
