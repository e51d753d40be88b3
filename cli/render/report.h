// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/cases.h"
#include "analysis/explore.h"
#include "json_shape.h"

#include <optional>
#include <span>
#include <string>
#include <utility>

namespace vistrel::cli {

// eval: a readable table of inputs, outputs, margin and verdict.
std::string evaluationTable(const Case& c, const Evaluation& e);
// eval --json: one object with inputs, outputs, verdict, message and margin_log.
std::string evaluationJson(const Case& c, const Evaluation& e, const NumberText& numbers);
// The same object on one line, as batch and sweep stream it.
std::string evaluationJsonLine(const Case& c, const Evaluation& e, const NumberText& numbers,
                               std::span<const Label> labels = {});
// The line of a row that could not be read: every value null, and why.
std::string unreadableJsonLine(std::string_view message, bool daylight, std::span<const Label> labels = {});

// What solve answers: the smallest (or largest) legible value, when there is one.
struct SolveAnswer {
    std::optional<double> value;
    std::string sentence; // empty without a value
};
SolveAnswer solveAnswer(std::string_view name, const SolveResult& r, const NumberText& numbers);

std::string solveText(std::string_view name, const SolveResult& r, const NumberText& numbers);
// at is the case evaluated at the answer, or at the start of the range without one.
std::string solveJson(std::string_view name, const SolveResult& r, const Case& at, const Evaluation& e,
                      const NumberText& numbers);

} // namespace vistrel::cli
