#pragma once

// The two questions asked of many cases at once: where the verdict changes
// along one input (solve), and what every step of a range gives (sweep).

#include "cases.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::cli {

// "Legible", "Not Legible", or why no verdict was reached.
std::string verdictState(const Case& c, const Evaluation& e);

struct ChangePoint {
    double below;
    double above; // 0.01 above below
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

// What solve can solve for: the input, a sensible range for it, and whether
// the answer is its smallest legible value (bigger letters read better) or
// its largest.
struct SolveTarget {
    std::string_view name;
    std::string_view unit;
    SolveRange range;
    bool smallestIsAnswer;
};
inline constexpr std::array<SolveTarget, 3> kSolveTargets{{
    {"letter_height_mm", "mm", {0.5, 100}, true},
    {"viewing_distance_mm", "mm", {100, 5000}, false},
    {"age", "years", {10, 90}, false},
}};

// The row for name, or null when solve cannot solve for it.
const SolveTarget* solveTarget(std::string_view name);
// "a, b or c", for help and messages.
std::string solveTargetNames();

// The ends of a range in hundredths, the grid solve works on.
struct SolveGrid {
    long long lo;
    long long hi;
};
// Bounds and the grid of a range; why it cannot be solved over, when not.
inline constexpr double kLargestSolveBound = 1e9;
std::optional<std::string> solveGrid(SolveRange range, SolveGrid& grid);

// Scans the range on a 0.01 grid and bisects every change of state to 0.01.
// The range must have passed solveGrid.
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
// a log scale (FROM and TO above 0), where NAME is a numeric input; on
// failure returns why.
std::optional<std::string> parseSweepSpec(std::string_view text, SweepSpec& spec, const NumberText& numbers);

// Evaluates the case at every step, handing each evaluated case to visit.
void sweep(const Case& base, const SweepSpec& spec, const NumberText& numbers,
           const std::function<void(const Case&, const Evaluation&)>& visit);

} // namespace vistrel::cli
