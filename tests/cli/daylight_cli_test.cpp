// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/explore.h"
#include "batch.h"
#include "case_texts.h"
#include "report.h"

#include <gtest/gtest.h>

#include <cmath>

#include <nlohmann/json.hpp>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

using namespace vistrel::cli::testing_cases;

// A backlit display: 60-year-old reader, 3 mm letters, 4% front-surface reflectance.
Case dimDesign(const Texts& more = {}) {
    return caseOf({{"mode", "luminance"},
                   {"letter_cdm2", "50"},
                   {"background_cdm2", "1"},
                   {"age", "60"},
                   {"letter_height_mm", "3"},
                   {"viewing_distance_mm", "750"},
                   {"ratio", "7"},
                   {"ease", "90% confidence"}},
                  more);
}

TEST(Columns, EveryInputKeyIsOneColumnAndWindowCasesShowOnlyTheirs) {
    for (const FieldInfo& f : kFields) {
        const auto k = columnIndex(f.key);
        if (f.field == Field::Notes) {
            EXPECT_FALSE(k) << "notes are written in the message column";
            continue;
        }
        ASSERT_TRUE(k) << f.key;
        EXPECT_EQ(kColumns[*k].field, f.field);
        EXPECT_EQ(isDaylightColumn(*k), !f.window) << f.key;
    }
    EXPECT_EQ(outputHeader().find("ambient_lux"), std::string::npos);
    EXPECT_NE(outputHeader(columnSet(true)).find("ambient_lux"), std::string::npos);
}

// A daylight case without a veil ends with every window field as the window's would.
TEST(Columns, DaylightCaseWithoutVeilKeepsTheWindowTexts) {
    Case window = dimDesign();
    Case daylight = dimDesign({{"ambient_lux", ""}});
    ASSERT_FALSE(window.daylight());
    ASSERT_TRUE(daylight.daylight());
    const Evaluation w = evaluate(window, kNumbers);
    const Evaluation d = evaluate(daylight, kNumbers);
    for (std::size_t k = 0; k < kWindowColumnCount; ++k) {
        EXPECT_EQ(window.text(k), daylight.text(k)) << kColumns[k].name;
    }
    EXPECT_EQ(w.margin, d.margin);
    // The 60-year-old's near point is 2 m: the focus warning reaches the message, not the verdict.
    EXPECT_TRUE(w.messageText().empty());
    EXPECT_EQ(d.messageText(), kNearCorrectionNote);
    EXPECT_TRUE(d.hasVerdict());
}

// Naming a column shows its group and daylight's, never a group it did not name.
TEST(Columns, ACaseShowsTheGroupsItNames) {
    struct Row {
        const char* column;
        bool daylight, glare, geometry;
    };
    for (const Row& r : {Row{"age", false, false, false}, Row{"ambient_lux", true, false, false},
                         Row{"glare_lux", true, true, false}, Row{"eye_pigment", true, true, false},
                         Row{"view_pan_deg", true, false, true}, Row{"off_axis_factor", true, false, true}}) {
        const Case c = dimDesign({{r.column, ""}});
        EXPECT_EQ(c.daylight(), r.daylight) << r.column;
        const std::string header = outputHeader(c.shown());
        EXPECT_EQ(header.find("near_point_mm") != std::string::npos, r.daylight) << r.column;
        EXPECT_EQ(header.find("glare_veil_cdm2") != std::string::npos, r.glare) << r.column;
        EXPECT_EQ(header.find("off_axis_deg") != std::string::npos, r.geometry) << r.column;
        std::string row;
        appendRow(row, c, Evaluation{});
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ',')) << r.column;
    }
}

struct LogSolveCase {
    const char* column;
    std::vector<std::pair<std::string_view, std::string_view>> more;
    const char* sentence; // the answer's start
};

void PrintTo(const LogSolveCase& c, std::ostream* os) { *os << c.column; }

class LogSolve : public testing::TestWithParam<LogSolveCase> {};

// Change points are real changes one step of the logarithmic grid apart, and
// the answer is the input's own sentence.
TEST_P(LogSolve, ChangePointsAreRealAndOneStepApart) {
    Case base = dimDesign();
    for (const auto& [name, text] : GetParam().more) {
        base.set(*columnIndex(name), text);
    }
    const std::size_t column = *columnIndex(GetParam().column);
    const SolveTarget* target = solveTarget(GetParam().column);
    ASSERT_TRUE(target != nullptr && target->logarithmic);
    const SolveResult r = solve(base, column, target->range, kNumbers);
    ASSERT_FALSE(r.changes.empty());
    for (const ChangePoint& c : r.changes) {
        EXPECT_NEAR(std::log10(c.above / c.below), 1.0 / kLogStepsPerDecade, 0.0005) << c.below;
        EXPECT_EQ(stateWith(base, column, c.below), c.stateBelow) << c.below;
        EXPECT_EQ(stateWith(base, column, c.above), c.stateAbove) << c.above;
    }
    const std::string text = solveText(GetParam().column, r, kNumbers);
    EXPECT_NE(text.find(std::string("\n") + GetParam().sentence), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LogSolve,
    testing::Values(LogSolveCase{"ambient_lux", {{"display_reflectance", "0.04"}}, "legible up to "},
                    LogSolveCase{"letter_cdm2",
                                 {{"ambient_lux", "5000"}, {"display_reflectance", "0.04"}},
                                 "needs letters of at least "},
                    LogSolveCase{"veil_cdm2", {}, "legible up to a veil of "}));

struct BandCase {
    const char* column;
    const char* sentence;
};

class BandSolve : public testing::TestWithParam<BandCase> {};

// Legible only between two limits: both are given, not the one the question
// usually asks for.
TEST_P(BandSolve, GivesBothEdgesOfTheBand) {
    const Case base = dimDesign({{"ambient_lux", "1000"}, {"display_reflectance", "0.04"}});
    const SolveTarget* target = solveTarget(GetParam().column);
    const SolveResult r = solve(base, *columnIndex(GetParam().column), target->range, kNumbers);
    const std::string text = solveText(GetParam().column, r, kNumbers);
    EXPECT_TRUE(text.ends_with(std::string("\n") + GetParam().sentence + "\n")) << text;
    Case at = base;
    const Evaluation e = evaluate(at, kNumbers);
    const auto json = nlohmann::json::parse(solveJson(GetParam().column, r, at, e, kNumbers));
    EXPECT_EQ(json["bands"].size(), 1U);
    EXPECT_EQ(json["sentence"], GetParam().sentence);
}

INSTANTIATE_TEST_SUITE_P(Inputs, BandSolve,
                         testing::Values(BandCase{"background_cdm2", "legible from 4,831 to 13,870 cd/m²"},
                                         BandCase{"ratio", "legible from 4.27 to 6.74"}));

struct GridCase {
    long long index;
    double value;
};

class LogGrid : public testing::TestWithParam<GridCase> {};

// Four significant digits, so that neighbouring points never read the same.
TEST_P(LogGrid, PointsHaveFourSignificantDigits) {
    const SolveGrid grid{0, 0, true};
    EXPECT_DOUBLE_EQ(grid.value(GetParam().index), GetParam().value);
    EXPECT_LT(grid.value(GetParam().index), grid.value(GetParam().index + 1));
}

INSTANTIATE_TEST_SUITE_P(Points, LogGrid,
                         testing::Values(GridCase{0, 1}, GridCase{1, 1.002}, GridCase{4093, 12390},
                                         GridCase{-2000, 0.01}, GridCase{2924, 839.5}, GridCase{999, 9.977}));

TEST(LogGrid, RefusesRangesItCannotSearch) {
    EXPECT_FALSE(solveGrid({0, 100}, true));
    EXPECT_FALSE(solveGrid({-5, 100}, true));
    EXPECT_FALSE(solveGrid({100, 100.1}, true));
    const auto grid = solveGrid({0.01, 1e9}, true);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->hi - grid->lo, 11000);
}

} // namespace
