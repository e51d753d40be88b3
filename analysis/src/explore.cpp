// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/explore.h"

#include "calc/glare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vistrel::cli {

namespace {

// The state of the case with the column at a point of the grid.
std::string stateAt(const Case& base, std::size_t column, const SolveGrid& grid, long long index,
                    const NumberText& numbers) {
    Case c = base;
    c.set(column, numbers.plain(grid.value(index)));
    const Evaluation e = evaluate(c, numbers);
    return verdictState(c, e);
}

} // namespace

std::string verdictState(const Case& c, const Evaluation& e) {
    if (e.hasVerdict()) {
        return c.store().text(Field::Result);
    }
    return "no verdict (" + e.message + ")";
}

const SolveTarget* solveTarget(std::string_view name) {
    const auto* found =
        std::find_if(kSolveTargets.begin(), kSolveTargets.end(), [&](const SolveTarget& t) { return t.name == name; });
    return found != kSolveTargets.end() ? found : nullptr;
}

Expected<void> refuseSourceList(const Case& c, std::size_t column) {
    const std::string_view text = c.view(column);
    if (text.find(kGlareSeparator) == std::string_view::npos) {
        return {};
    }
    const auto count = std::count(text.begin(), text.end(), kGlareSeparator) + 1;
    return usageError(std::string(kColumns[column].name) + " lists " + std::to_string(count) +
                      " glare sources; solve, sweep and tolerance vary a single source, so give one");
}

std::string solveTargetNames() {
    std::string names;
    for (std::size_t k = 0; k < kSolveTargets.size(); ++k) {
        names += k == 0 ? "" : k + 1 == kSolveTargets.size() ? " or " : ", ";
        names += kSolveTargets[k].name;
    }
    return names;
}

double SolveGrid::value(long long index) const {
    if (!logarithmic) {
        return static_cast<double>(index) / 100.0;
    }
    // Through decimal text, so that 138.7 is the double nearest 138.7 and reads back as such.
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.4g", std::pow(10.0, static_cast<double>(index) / kLogStepsPerDecade));
    return std::strtod(text.data(), nullptr);
}

bool logarithmicColumn(std::size_t column) {
    const SolveTarget* t = solveTarget(kColumns[column].name);
    return t != nullptr && t->logarithmic;
}

Expected<SolveGrid> solveGrid(SolveRange range, bool logarithmic) {
    SolveGrid grid{};
    const auto bounded = [](double v) { return std::isfinite(v) && std::fabs(v) <= kLargestSolveBound; };
    if (!bounded(range.min) || !bounded(range.max)) {
        return usageError("--min and --max must lie within -1e9 and 1e9");
    }
    if (!(range.min < range.max)) {
        return usageError("--min must be below --max");
    }
    grid.logarithmic = logarithmic;
    if (logarithmic) {
        if (!(range.min >= 1e-9)) {
            return usageError("--min must be at least 1e-9: this input is searched on a logarithmic grid");
        }
        // Within 18 decades: at most 18,000 points.
        grid.lo = static_cast<long long>(std::ceil(std::log10(range.min) * kLogStepsPerDecade - 1e-6));
        grid.hi = static_cast<long long>(std::floor(std::log10(range.max) * kLogStepsPerDecade + 1e-6));
        if (grid.hi <= grid.lo) {
            return usageError("--min and --max must enclose at least two steps of 0.001 decade");
        }
        return grid;
    }
    // Both ends are within 1e11 hundredths: the products and casts cannot overflow.
    grid.lo = static_cast<long long>(std::ceil(range.min * 100 - 1e-9));
    grid.hi = static_cast<long long>(std::floor(range.max * 100 + 1e-9));
    if (grid.hi <= grid.lo) {
        return usageError("--min and --max must enclose at least two steps of 0.01");
    }
    return grid;
}

SolveResult solve(const Case& base, std::size_t column, SolveRange range, const NumberText& numbers) {
    const auto solvable = solveGrid(range, logarithmicColumn(column));
    if (!solvable) {
        return {range.min, range.max, {}, {}, {}};
    }
    const SolveGrid& grid = *solvable;
    const long long lo = grid.lo;
    const long long hi = grid.hi;
    // Enough samples that changes closer together than about a sample apart
    // are the only ones a scan can miss.
    const long long samples = std::min<long long>(hi - lo, 20000);
    SolveResult result{grid.value(lo), grid.value(hi), {}, {}, {}};
    long long a = lo;
    std::string stateA = stateAt(base, column, grid, lo, numbers);
    result.stateAtMin = stateA;
    for (long long j = 1; j <= samples; ++j) {
        const long long x = lo + (hi - lo) * j / samples;
        const std::string stateX = stateAt(base, column, grid, x, numbers);
        // Every change between a and x, one bisection each, until x's state is reached.
        while (stateA != stateX) {
            long long l = a;
            long long r = x;
            std::string stateR = stateX;
            while (r - l > 1) {
                const long long mid = l + (r - l) / 2;
                std::string s = stateAt(base, column, grid, mid, numbers);
                if (s == stateA) {
                    l = mid;
                } else {
                    r = mid;
                    stateR = std::move(s);
                }
            }
            result.changes.push_back({grid.value(l), grid.value(r), stateA, stateR});
            a = r;
            stateA = std::move(stateR);
        }
        a = x;
    }
    result.stateAtMax = stateA;
    return result;
}

std::vector<LegibleBand> legibleBands(const SolveResult& r) {
    const std::string legible(kLegible);
    std::vector<LegibleBand> bands;
    if (r.stateAtMin == legible) {
        bands.push_back({r.min, r.max, true, true});
    }
    for (const ChangePoint& c : r.changes) {
        if (c.stateBelow == legible && !bands.empty()) {
            bands.back().to = c.below;
            bands.back().toEnd = false;
        }
        if (c.stateAbove == legible) {
            bands.push_back({c.above, r.max, false, true});
        }
    }
    return bands;
}

std::optional<SolveLimit> solveLimit(const SolveTarget* target, const SolveResult& r) {
    const std::string legible(kLegible);
    if (target != nullptr && target->smallestIsAnswer) {
        for (const ChangePoint& c : r.changes) {
            if (c.stateAbove == legible) {
                return SolveLimit{c.above, true, false};
            }
        }
        return r.stateAtMin == legible ? std::optional(SolveLimit{r.min, true, true}) : std::nullopt;
    }
    const auto last = std::find_if(r.changes.rbegin(), r.changes.rend(),
                                   [&](const ChangePoint& c) { return c.stateBelow == legible; });
    if (last != r.changes.rend()) {
        return SolveLimit{last->below, false, false};
    }
    return r.stateAtMax == legible ? std::optional(SolveLimit{r.max, false, true}) : std::nullopt;
}

std::size_t bandEdges(std::span<const LegibleBand> bands) {
    std::size_t edges = 0;
    for (const LegibleBand& b : bands) {
        edges += (b.fromStart ? 0U : 1U) + (b.toEnd ? 0U : 1U);
    }
    return edges;
}

namespace {

// from x factor^k. Where factor^k alone leaves the normal doubles though the
// value need not (1e-300 x 10^600), it is applied a part at a time, each
// part's power normal; the running product then moves monotonically from
// from to the value, so it stays finite.
double scaled(double from, double factor, std::size_t k) {
    const double whole = std::pow(factor, static_cast<double>(k));
    if (std::isnormal(whole)) {
        return from * whole;
    }
    double value = from;
    for (std::size_t left = k; left > 0;) {
        std::size_t part = left;
        double power = std::pow(factor, static_cast<double>(part));
        while (!std::isnormal(power) && part > 1) {
            part = (part + 1) / 2;
            power = std::pow(factor, static_cast<double>(part));
        }
        value *= power;
        left -= part;
    }
    return value;
}

} // namespace

double SweepSpec::at(std::size_t k) const {
    const auto n = static_cast<double>(k);
    double value = 0;
    if (factor != 0) {
        value = scaled(from, factor, k);
    } else {
        value = from + n * step;
        if (!std::isfinite(value)) { // n x step overflows only when TO - FROM does: halve both
            value = 2 * (from / 2 + n * (step / 2));
        }
    }
    // The count allows for rounding, so the last step may pass TO by a hair.
    return std::clamp(value, std::min(from, to), std::max(from, to));
}

Expected<SweepSpec> parseSweepSpec(std::string_view text, const NumberText& numbers) {
    SweepSpec spec;
    const std::string form("--vary needs NAME=FROM:TO:STEP or NAME=FROM:TO:xFACTOR");
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return usageError(form);
    }
    const std::string_view name = text.substr(0, equals);
    const auto column = columnIndex(name);
    const auto field = column ? kColumns[*column].field : std::nullopt;
    if (!field || *field == Field::EaseOfRead || !isInputColumn(*column)) {
        return usageError("--vary: \"" + std::string(name) + "\" is not a numeric input name" +
                          didYouMean(name, [](std::string_view near) {
                              const auto at = columnIndex(near);
                              return at && isInputColumn(*at) && kColumns[*at].field &&
                                     *kColumns[*at].field != Field::EaseOfRead;
                          }));
    }
    spec.column = *column;
    std::string_view rest = text.substr(equals + 1);
    std::array<double, 3> parts{};
    std::array<std::string, 3> partNames{"FROM", "TO", "STEP"};
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t colon = k < 2 ? rest.find(':') : rest.size();
        if (colon == std::string_view::npos) {
            return usageError(form);
        }
        std::string_view part = rest.substr(0, colon);
        if (k == 2 && part.starts_with('x')) {
            part.remove_prefix(1);
            partNames[k] = "FACTOR";
        }
        const auto parsed = numbers.parse(part);
        if (!parsed.ok()) {
            return usageError("--vary: " + partNames[k] + " \"" + std::string(part) + "\" is not a number");
        }
        parts[k] = parsed.value;
        rest = k < 2 ? rest.substr(colon + 1) : std::string_view{};
    }
    spec.from = parts[0];
    spec.to = parts[1];
    const bool logSteps = partNames[2] == "FACTOR";
    spec.step = logSteps ? 0 : parts[2];
    spec.factor = logSteps ? parts[2] : 0;
    double steps = 0;
    if (logSteps) {
        if (!(spec.from > 0 && spec.to > 0)) {
            return usageError("--vary: FROM and TO must be above 0 with xFACTOR");
        }
        if (!(spec.factor > 0) || spec.factor == 1) {
            return usageError("--vary: FACTOR must be above 0 and not 1");
        }
        if ((spec.to > spec.from && spec.factor < 1) || (spec.to < spec.from && spec.factor > 1)) {
            return usageError("--vary: FACTOR goes the wrong way from FROM to TO");
        }
        // Logarithms, not TO / FROM, which can overflow.
        steps = std::floor((std::log(spec.to) - std::log(spec.from)) / std::log(spec.factor) + 1e-9);
    } else {
        if (spec.step == 0) {
            return usageError("--vary: STEP must not be zero");
        }
        if ((spec.to > spec.from && spec.step < 0) || (spec.to < spec.from && spec.step > 0)) {
            return usageError("--vary: STEP goes the wrong way from FROM to TO");
        }
        // Halved when TO - FROM overflows, which the steps themselves need not.
        const double span = std::isfinite(spec.to - spec.from) ? (spec.to - spec.from) / spec.step
                                                               : (spec.to / 2 - spec.from / 2) / (spec.step / 2);
        steps = std::floor(span + 1e-9);
    }
    // Exactly the largest number of steps is allowed; infinity and NaN (from
    // huge ends) are not.
    if (!(steps <= static_cast<double>(kMaxSweepSteps))) {
        return usageError("--vary: more than " + std::to_string(kMaxSweepSteps) + " steps");
    }
    spec.count = static_cast<std::size_t>(steps) + 1;
    return spec;
}

void sweep(const Case& base, const SweepSpec& spec, const NumberText& numbers,
           const std::function<bool(const Case&, const Evaluation&)>& visit) {
    for (std::size_t k = 0; k < spec.count; ++k) {
        Case c = base;
        c.set(spec.column, numbers.plain(spec.at(k)));
        const Evaluation e = evaluate(c, numbers);
        if (!visit(c, e)) {
            return;
        }
    }
}

} // namespace vistrel::cli
