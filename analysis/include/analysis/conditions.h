// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Designs under conditions: every design is evaluated with each condition's
// cells over its own, as a daylight case.

#include "analysis/cases.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::cli {

// A row of a designs or conditions file: its name and (column, text) pairs.
struct NamedRow {
    std::string name; // the row's number when no column names it
    std::vector<std::pair<std::size_t, std::string>> cells;
    bool named = false;
};

// Every design meets every condition, so what a designs or conditions file
// holds is multiplied in the tables and pages made from it: these bound it.
inline constexpr std::size_t kMaxConditions = 1000;
inline constexpr std::size_t kMaxConditionPairs = 100'000; // designs x conditions in one run of conditions
inline constexpr std::size_t kMaxReportDesigns = 100;      // a page holds about 0.7 MB of each
inline constexpr std::size_t kMaxPdfDesigns = 10;          // vistrel-pdf needs about 30 MB for each
inline constexpr std::size_t kMaxNamedRowBytes = 512;      // a row's name and the cells kept

// The case every design starts from: a daylight case, or one showing more
// columns or carrying an angular table.
[[nodiscard]] const Case& daylightCase();

// The design as a daylight case (blank, with the design's cells), with the
// condition's cells over its own (an empty condition cell leaves the design's
// value); false when a mode cell is none of the modes.
bool designCase(const NamedRow& design, const NamedRow* condition, Case& c, const Case& blank = daylightCase());
// The same, evaluated.
Evaluation evaluateDesign(const NamedRow& design, const NamedRow* condition, Case& c, const NumberText& numbers,
                          const Case& blank = daylightCase());

struct ConditionOutcome {
    bool hasVerdict = false;
    bool legible = false;
    std::optional<double> margin; // margin_log; empty without a verdict
};
struct ConditionsGrid {
    std::vector<std::vector<ConditionOutcome>> cells; // [design][condition]
    std::vector<std::size_t> worst;                   // each design's worst condition
    bool allLegible = true;
};
using ConditionVisitor =
    std::function<void(std::size_t design, std::size_t condition, const Case& c, const Evaluation& e)>;
// Every design under every condition, each case started from blank and
// showing every column any design or condition sets; visit sees each
// evaluated case. The worst condition has the smallest margin; no
// verdict is worse than any margin, and ties keep the first condition.
ConditionsGrid evaluateConditions(std::span<const NamedRow> designs, std::span<const NamedRow> conditions,
                                  const NumberText& numbers, const ConditionVisitor& visit = {},
                                  const Case& blank = daylightCase());

// The columns that rows set, as every case made from them shows them.
[[nodiscard]] ColumnSet rowColumns(std::span<const NamedRow> rows);

} // namespace vistrel::cli
