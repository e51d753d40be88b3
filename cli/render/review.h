// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The design-review page: the review model of analysis/review.h written as
// one self-contained HTML page, numbers in three-decimal form. The page holds
// no script and fetches nothing, so it can be mailed and archived; the PDF
// helper (vistrel-pdf) lays out the same page.
//
// Every text of the model is plain text: the writer escapes it. Plots are
// SVG documents from the plotter; the writer keeps only their drawing.

#include "analysis/review.h"
#include "calc/number_text.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

// One inverse answer as the page words it: "Legible up to 2834.66 mm".
struct ReviewAnswer {
    std::string question; // "Maximum viewing distance"
    std::string sentence;
    std::string value; // empty when there is no such value
    std::string unit;
};

// The inverse answer from a solve over one input: the smallest legible
// value ("Legible from X") where the target says bigger reads better, else
// the largest ("Legible up to X"); or where Legible lies when there is no
// such limit, or the state that holds over the whole range.
[[nodiscard]] ReviewAnswer reviewAnswer(std::string question, const SolveTarget& target, const SolveResult& solved,
                                        const NumberText& numbers);

// The question a review asks of an input: "Maximum viewing distance".
[[nodiscard]] std::string_view inverseQuestion(std::size_t column);

// The headline: the model's verdict and the checks in one line, "Legible by
// the model \u2014 fails 2 required checks"; the summary of several designs
// says the same.
[[nodiscard]] std::string headline(const Overall& overall);
// Its style: green only when no required check failed, amber when the model
// says Legible but a required check failed, red when Not Legible.
[[nodiscard]] std::string_view headlineClass(Standing standing);

// "ids that failed": required failures first, then recommended ones; empty
// when nothing failed.
[[nodiscard]] std::string failedChecksSummary(const ReviewDesign& design);

// A criterion's source as a reader should take it: "ISO 9241-7 (withdrawn
// 2008; superseded by ISO 9241-303)" when the document no longer stands.
[[nodiscard]] std::string citationText(std::string_view source, std::string_view withdrawn,
                                       std::string_view supersededBy);

// What the plotter drew for one design: SVG documents, whose drawing alone
// the page keeps.
struct ReviewPlot {
    std::string caption;
    std::string svg; // a whole SVG document
};
struct ReviewArt {
    std::vector<ReviewPlot> plots;
    std::string plotsNote;  // why there are none
    std::string tornadoSvg; // optional
};

// A screen judged region by region (report --screen): its map and its table.
struct ReviewScreen {
    std::string name;    // the image's file name
    std::string caption; // the case the map shows
    std::string png;     // the map
    std::vector<std::string_view> header;
    std::vector<std::vector<std::string>> rows; // one per region
};

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

// The bytes as base64, for a picture held in the page.
[[nodiscard]] std::string base64(std::string_view bytes);

// The whole page; art, when given, holds one entry per design; screen, when
// given, adds its map and table after the designs.
[[nodiscard]] std::string reviewHtml(const Review& review, const NumberText& numbers,
                                     std::span<const ReviewArt> art = {}, const ReviewScreen* screen = nullptr);

} // namespace vistrel::cli
