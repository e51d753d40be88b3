// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two questions asked of many cases at once: where the verdict changes
// along one input (solve), and what every step of a range gives (sweep).

#include "analysis/cases.h"
#include "analysis/expected.h"
#include "analysis/tolerance.h"

#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vistrel::cli {

// "Legible", "Not Legible", or why no verdict was reached.
std::string verdictState(const Case& c, const Evaluation& e);

struct ChangePoint {
    double below;
    double above; // one step of the grid above below
    std::string stateBelow;
    std::string stateAbove;
};

struct SolveResult {
    double min;
    double max;
    std::string stateAtMin;
    std::string stateAtMax;
    std::vector<ChangePoint> changes;
};

struct SolveRange {
    double min;
    double max;
};

// The observers' ages the tool works over: solve searches them, and an age
// outside them gets a note.
inline constexpr SolveRange kAgeRange{10, 90};

// A run of grid points that are all Legible: from its first to its last.
// fromStart and toEnd say it reaches an end of the range, beyond which
// nothing is known.
struct LegibleBand {
    double from;
    double to;
    bool fromStart;
    bool toEnd;
};
// Every band of a solve, in order; empty when nothing in the range is Legible.
[[nodiscard]] std::vector<LegibleBand> legibleBands(const SolveResult& r);
// How many band edges lie inside the range: more than one means the answer
// is a band (or several), not a single limit.
[[nodiscard]] std::size_t bandEdges(std::span<const LegibleBand> bands);

// Every numeric input: what solve can solve for and tolerance can spread.
// A sensible range, whether the answer is its smallest legible value (bigger
// letters read better) or its largest, whether it spans decades (searched on
// a logarithmic grid), where it stops being valid, and the answer's sentence
// ({} is the value; empty for the plain "smallest NAME that is Legible").
struct SolveTarget {
    std::string_view name;
    std::string_view unit;
    SolveRange range;
    bool smallestIsAnswer;
    bool logarithmic = false;
    ValidRange valid{};
    std::string_view sentence{};
};
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr ValidRange kPositive{0, kInf, false, true};
inline constexpr ValidRange kNonNegative{0, kInf, true, true};
inline constexpr ValidRange kFraction{0, 1, true, true};
// clang-format off
inline constexpr std::array<SolveTarget, 25> kSolveTargets{{
    {columnName(Field::LetterHT2), "mm", {0.5, 100}, true, false, kPositive},
    {columnName(Field::ViewDist2), "mm", {100, 5000}, false, false, kPositive},
    {columnName(Field::Age), "years", kAgeRange, false, false, kNonNegative},
    {columnName(Field::SourceID2), "cd", {0.1, 1e6}, true, true, kNonNegative, "needs a source of at least {} cd"},
    {columnName(Field::DistSinM2), "m", {0.1, 100}, false, false, kPositive, "legible up to {} m from the source"},
    {columnName(Field::DistSinFT2), "ft", {0.5, 300}, false, false, kPositive, "legible up to {} ft from the source"},
    {columnName(Field::DistSinIn2), "in", {1, 4000}, false, false, kPositive, "legible up to {} in from the source"},
    {columnName(Field::ILLLUX2), "lux", {0.1, 200000}, true, true, kNonNegative, "needs at least {} lux"},
    {columnName(Field::ILLFC2), "fc", {0.01, 20000}, true, true, kNonNegative, "needs at least {} fc"},
    {columnName(Field::BackLumCDM), "cd/m²", {0.01, 100000}, false, true, kNonNegative, "legible up to a background of {} cd/m²"},
    {columnName(Field::BackLum), "fL", {0.01, 30000}, false, true, kNonNegative, "legible up to a background of {} fL"},
    {columnName(Field::LetterLumCDM), "cd/m²", {0.01, 100000}, true, true, kNonNegative, "needs letters of at least {} cd/m²"},
    {columnName(Field::LetterLum), "fL", {0.01, 30000}, true, true, kNonNegative, "needs letters of at least {} fL"},
    {columnName(Field::LetterTrans2), "", {0, 1}, true, false, kFraction},
    {columnName(Field::BackTrans2), "", {0, 1}, false, false, kFraction},
    {columnName(Field::LHSW), "", {1, 30}, false, false, kPositive},
    {columnName(Field::FieldCorr), "", {-3, 3}, false, false, ValidRange{}},
    {columnName(Field::AmbientLux), "lux", {1, 200000}, false, true, kNonNegative, "legible up to {} lux ambient"},
    {columnName(Field::DisplayReflectance), "", {0, 1}, false, false, kFraction, "legible up to a display reflectance of {}"},
    {columnName(Field::SpecularCdm2), "cd/m²", {1, 1e6}, false, true, kNonNegative, "legible up to a mirrored source of {} cd/m²"},
    {columnName(Field::SpecularReflectance), "", {0, 1}, false, false, kFraction, "legible up to a specular reflectance of {}"},
    {columnName(Field::VeilCdm2), "cd/m²", {0.01, 100000}, false, true, kNonNegative, "legible up to a veil of {} cd/m²"},
    {columnName(Field::GlareLux), "lux", {0.01, 100000}, false, true, kNonNegative, "legible up to glare of {} lux at the eye"},
    // The glare formula's own domain: it is never used beyond it.
    {columnName(Field::GlareAngleDeg), "deg", {0.1, 100}, true, true, {0.1, 100, true, true}, "legible with the glare source {} deg or more from the line of sight"},
    {columnName(Field::EyePigment), "", {0, 1.2}, false, false, {0, 1.2, true, true}, "legible up to an eye pigmentation of {}"},
}};
// clang-format on

// The row for name, or null when solve cannot solve for it.
const SolveTarget* solveTarget(std::string_view name);
// "a, b or c", for help and messages.
std::string solveTargetNames();

// The limit solve answers with, as a single edge: the first step into Legible
// where the smallest value is the answer, else the last step out of it; the
// range's end when it is Legible there without a change; nothing when
// nothing is Legible. A null target asks for the largest value.
struct SolveLimit {
    double value;
    bool smallest; // the smallest Legible value, or the largest
    bool rangeEnd; // Legible already at the start, or still at the end
};
[[nodiscard]] std::optional<SolveLimit> solveLimit(const SolveTarget* target, const SolveResult& r);

// Solve, sweep and tolerance vary one number: a column that lists several
// glare sources is refused, naming the column, rather than replaced by one.
[[nodiscard]] Expected<void> refuseSourceList(const Case& c, std::size_t column);

// The ends of a range on the grid solve works on: hundredths, or for a
// logarithmic input thousandths of a decade, each point rounded to four
// significant digits.
struct SolveGrid {
    long long lo;
    long long hi;
    bool logarithmic = false;

    [[nodiscard]] double value(long long index) const;
};
inline constexpr double kLogStepsPerDecade = 1000;
// The grid of a range, or why it cannot be solved over.
inline constexpr double kLargestSolveBound = 1e9;
[[nodiscard]] Expected<SolveGrid> solveGrid(SolveRange range, bool logarithmic = false);
// Whether the column is searched on the logarithmic grid.
[[nodiscard]] bool logarithmicColumn(std::size_t column);

// Scans the range on the column's grid and bisects every change of state to
// one step of it. The range must have passed solveGrid.
SolveResult solve(const Case& base, std::size_t column, SolveRange range, const NumberText& numbers);

struct SweepSpec {
    std::size_t column = 0;
    double from = 0;
    double to = 0;
    double step = 0;   // added at each step
    double factor = 0; // or, when not 0, multiplied at each step
    std::size_t count = 0;

    // The k-th value, computed from FROM so that steps do not gather rounding.
    [[nodiscard]] double at(std::size_t k) const;
};

// Steps from FROM to TO; a sweep has one row more than it has steps.
inline constexpr std::size_t kMaxSweepSteps = 1'000'000;

// Reads NAME=FROM:TO:STEP, or NAME=FROM:TO:xFACTOR for steps evenly spaced on
// a log scale (FROM and TO above 0), where NAME is a numeric input.
[[nodiscard]] Expected<SweepSpec> parseSweepSpec(std::string_view text, const NumberText& numbers);

// Evaluates the case at every step, handing each evaluated case to visit,
// until visit returns false (a reader that has gone, a full disk).
void sweep(const Case& base, const SweepSpec& spec, const NumberText& numbers,
           const std::function<bool(const Case&, const Evaluation&)>& visit);

} // namespace vistrel::cli
