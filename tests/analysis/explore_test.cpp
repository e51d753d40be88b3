// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/explore.h"
#include "case_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

using namespace vistrel::cli::testing_cases;

Case workedCase(std::string_view age, const Texts& more = {}) {
    return caseOf({{"mode", "illuminance"},
                   {"illuminance_lux", "1076"},
                   {"letter_factor", "0.25"},
                   {"background_factor", "0.2"},
                   {"age", age},
                   {"letter_height_mm", "6"},
                   {"viewing_distance_mm", "750"},
                   {"ratio", "7"},
                   {"ease", "90% confidence"}},
                  more);
}

class Solve : public testing::TestWithParam<const char*> {};

// Every change point must be a real change of the full calculation, 0.01 wide.
TEST_P(Solve, ChangePointsAreRealChanges) {
    const std::size_t column = *columnIndex(GetParam());
    const Case base = workedCase(std::string_view(GetParam()) == "age" ? "40" : "60");
    const SolveResult r = solve(base, column, solveTarget(GetParam())->range, kNumbers);
    ASSERT_FALSE(r.changes.empty());
    EXPECT_NE(r.stateAtMin, r.stateAtMax);
    for (const ChangePoint& c : r.changes) {
        EXPECT_NEAR(c.above - c.below, 0.01, 1e-9);
        EXPECT_NE(c.stateBelow, c.stateAbove);
        EXPECT_EQ(stateWith(base, column, c.below), c.stateBelow) << c.below;
        EXPECT_EQ(stateWith(base, column, c.above), c.stateAbove) << c.above;
    }
    EXPECT_EQ(r.changes.front().stateBelow, r.stateAtMin);
    EXPECT_EQ(r.changes.back().stateAbove, r.stateAtMax);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Solve, testing::Values("letter_height_mm", "viewing_distance_mm", "age"));

TEST(Solve, SaysSoWhenNothingChanges) {
    const Case base = workedCase("40");
    const SolveResult r = solve(base, *columnIndex("age"), {30, 31}, kNumbers);
    EXPECT_TRUE(r.changes.empty());
    EXPECT_EQ(r.stateAtMin, r.stateAtMax);
}

struct LastChange {
    const char* input;
    Texts texts;
    SolveRange range;
    double below; // the last change lies between below and below + 0.01
};

void PrintTo(const LastChange& c, std::ostream* os) { *os << c.input; }

class SolveToTheEnd : public testing::TestWithParam<LastChange> {};

// Wide ranges, many grid steps to each scan step: the scan must end on --max
// itself, so the state there is the calculation's and a change close below
// it is found.
TEST_P(SolveToTheEnd, ReachesMaxAndTheLastChange) {
    const LastChange& p = GetParam();
    const std::size_t column = *columnIndex(p.input);
    const Case base = workedCase("60", p.texts);
    const SolveResult r = solve(base, column, p.range, kNumbers);
    EXPECT_EQ(r.max, p.range.max);
    EXPECT_EQ(r.stateAtMax, stateWith(base, column, p.range.max));
    ASSERT_FALSE(r.changes.empty());
    EXPECT_DOUBLE_EQ(r.changes.back().below, p.below);
    EXPECT_DOUBLE_EQ(r.changes.back().above, p.below + 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    WideRanges, SolveToTheEnd,
    testing::Values(LastChange{"viewing_distance_mm",
                               {{"letter_factor", "0.8"}, {"letter_height_mm", "16.3"}},
                               {100, 5000},
                               4921.61},
                    LastChange{"age", {{"letter_factor", "0.8"}, {"age", "40"}}, {-160, 95}, 90.08},
                    LastChange{"letter_height_mm", {{"letter_factor", "0.8"}}, {-247.5, 2.6}, 2.48}));

struct SweepCase {
    const char* spec;
    std::size_t count;
    std::vector<std::string> firstTexts;
};

void PrintTo(const SweepCase& c, std::ostream* os) { *os << c.spec; }

class Sweep : public testing::TestWithParam<SweepCase> {};

// Steps are computed from the start, so texts carry no drift such as 0.30000000000000004.
TEST_P(Sweep, StepsAndTexts) {
    const auto parsed = parseSweepSpec(GetParam().spec, kNumbers);
    ASSERT_TRUE(parsed) << parsed.error().text();
    const SweepSpec& spec = *parsed;
    EXPECT_EQ(spec.count, GetParam().count);
    std::vector<std::string> texts;
    sweep(workedCase("40"), spec, kNumbers, [&](const Case& c, const Evaluation& /*e*/) {
        if (texts.size() < GetParam().firstTexts.size()) {
            texts.push_back(c.text(spec.column));
        }
        return texts.size() < GetParam().firstTexts.size();
    });
    EXPECT_EQ(texts, GetParam().firstTexts);
}

INSTANTIATE_TEST_SUITE_P(Ranges, Sweep,
                         testing::Values(SweepCase{"letter_height_mm=0.1:0.7:0.1", 7, {"0.1", "0.2", "0.3", "0.4"}},
                                         SweepCase{"viewing_distance_mm=1000:100:-100", 10, {"1000", "900"}},
                                         SweepCase{"age=40:40:1", 1, {"40"}},
                                         SweepCase{"age=10:11:0.3", 4, {"10", "10.3", "10.6", "10.9"}},
                                         SweepCase{"illuminance_lux=10:100000:x10", 5, {"10", "100", "1000", "10000"}},
                                         SweepCase{"illuminance_lux=1000:1:x0.1", 4, {"1000", "100", "10", "1"}},
                                         SweepCase{"background_cdm2=1:8:x2", 4, {"1", "2", "4", "8"}}));

struct ExtremeSweep {
    const char* spec;
    std::size_t count;
    std::string last;
};

void PrintTo(const ExtremeSweep& c, std::ostream* os) { *os << c.spec; }

class SweepExtremes : public testing::TestWithParam<ExtremeSweep> {};

// Ends near the largest and smallest doubles, where a power or TO - FROM
// overflows on the way: every value finite, within the range, in order.
TEST_P(SweepExtremes, StayFiniteWithinTheRange) {
    const auto parsed = parseSweepSpec(GetParam().spec, kNumbers);
    ASSERT_TRUE(parsed) << parsed.error().text();
    const SweepSpec& spec = *parsed;
    EXPECT_EQ(spec.count, GetParam().count);
    const double lo = std::min(spec.from, spec.to);
    const double hi = std::max(spec.from, spec.to);
    for (std::size_t k = 0; k < spec.count; ++k) {
        const double v = spec.at(k);
        ASSERT_TRUE(std::isfinite(v) && v >= lo && v <= hi) << k << ": " << v;
        if (k > 0) {
            ASSERT_TRUE(spec.to > spec.from ? v > spec.at(k - 1) : v < spec.at(k - 1)) << k;
        }
    }
    EXPECT_EQ(kNumbers.plain(spec.at(spec.count - 1)), GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SweepExtremes,
    testing::Values(ExtremeSweep{"illuminance_lux=1e-300:1e300:x10", 601, "1" + std::string(300, '0')},
                    ExtremeSweep{"illuminance_lux=1e300:1e-300:x0.5", 1994, // 1e300 / 2^1993
                                 "0." + std::string(299, '0') + "11148556564758"},
                    ExtremeSweep{"field_correction=-1e308:1e308:1e307", 21, "1" + std::string(308, '0')},
                    ExtremeSweep{"age=0:1.7976931348623157e308:5.992310449541053e307", 4,
                                 "179769313486232" + std::string(294, '0')}));

} // namespace
