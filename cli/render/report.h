// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/case_notes_text.h"
#include "analysis/cases.h"
#include "analysis/explore.h"
#include "json_shape.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace vistrel::cli {

// eval --json: one object with inputs, outputs, verdict, message and margin_log.
std::string evaluationJson(const Case& c, const Evaluation& e, const NumberText& numbers);
// The same object on one line, as batch and sweep stream it.
std::string evaluationJsonLine(const Case& c, const Evaluation& e, const NumberText& numbers,
                               std::span<const Label> labels = {});
// The line of a row that could not be read: every value null, and why.
std::string unreadableJsonLine(std::string_view message, ColumnSet shown, std::span<const Label> labels = {});

// What solve answers: the smallest (or largest) legible value, when there is one.
struct SolveAnswer {
    std::optional<double> value;
    std::string sentence; // empty without a value
};
// Where the legible values form a band, or several, the sentence gives them
// all ("legible from 4,831 to 13,870 cd/m²"); value stays the single limit.
SolveAnswer solveAnswer(std::string_view name, const SolveResult& r, const NumberText& numbers);
// "from A to B UNIT", "up to B UNIT and from C UNIT": each band with its ends
// inside the range, numbers written by number.
std::string legibleBandsText(std::span<const LegibleBand> bands, std::string_view unit,
                             const std::function<std::string(double)>& number);

std::string solveText(std::string_view name, const SolveResult& r, const NumberText& numbers);
// at is the case evaluated at the answer, or at the start of the range without one.
std::string solveJson(std::string_view name, const SolveResult& r, const Case& at, const Evaluation& e,
                      const NumberText& numbers);

} // namespace vistrel::cli
