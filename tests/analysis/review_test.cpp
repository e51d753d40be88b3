// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/review.h"

#include <gtest/gtest.h>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

NamedRow design(std::string_view distance) {
    NamedRow r{"d", {}, true};
    for (const auto& [column, text] : {std::pair<std::string_view, std::string_view>{"mode", "illuminance"},
                                       {"illuminance_lux", "1076"},
                                       {"letter_factor", "0.8"},
                                       {"background_factor", "0.2"},
                                       {"age", "40"},
                                       {"letter_height_mm", "6"},
                                       {"viewing_distance_mm", distance},
                                       {"ratio", "7"},
                                       {"ease", "90% confidence"}}) {
        r.cells.emplace_back(*columnIndex(column), text);
    }
    return r;
}

struct DesignCase {
    const char* distance;
    Verdict verdict;
    std::optional<double> margin;
    std::vector<std::string> failedRequired;
};

// The worked case, near and far, against a profile that asks for 20 arcmin letters.
TEST(ReviewModel, VerdictMarginAndFailedRequiredCriteria) {
    auto profile = parseProfile("[[criterion]]\nid = \"big\"\nquantity = \"letter_size_arcmin\"\nkind = \"minimum\"\n"
                                "limit = 20\nlevel = \"required\"\nsource = \"s\"\n"
                                "[[criterion]]\nid = \"nice\"\nquantity = \"letter_size_arcmin\"\nkind = \"minimum\"\n"
                                "limit = 40\nlevel = \"recommended\"\nsource = \"s\"\n",
                                "p.toml");
    ASSERT_TRUE(profile) << profile.error().text();
    ProfileChecker checker(*profile);
    for (const DesignCase& t : {DesignCase{"750", Verdict::Legible, 1.052, {}},
                                DesignCase{"9000", Verdict::NotLegible, std::nullopt, {"big"}},
                                DesignCase{"abc", Verdict::None, std::nullopt, {"big"}}}) {
        Case c;
        const Evaluation e = evaluateDesign(design(t.distance), nullptr, c, kNumbers);
        ReviewDesign d = reviewDesign("d", c, e, kNumbers);
        d.profiles.push_back(reviewProfile(*profile, checker.check(reviewQuantities(c, e, kNumbers))));
        EXPECT_EQ(d.verdict, t.verdict) << t.distance;
        if (t.margin) {
            EXPECT_EQ(d.margin, t.margin) << t.distance;
        }
        EXPECT_EQ(d.margin.has_value(), t.verdict != Verdict::None) << t.distance;
        EXPECT_EQ(d.messages.empty(), t.verdict != Verdict::None) << t.distance;
        EXPECT_EQ(failedChecks(d).required, t.failedRequired) << t.distance;
        // A recommendation without a value is not counted as failed.
        EXPECT_EQ(failedChecks(d).recommended.size(), t.verdict == Verdict::None ? 0U : 1U) << t.distance;
        EXPECT_FALSE(d.tolerance); // only a caller with spreads adds one
    }
}

TEST(ReviewModel, TheGridMarksTheWorstCondition) {
    const NamedRow dark{"dark", {{*columnIndex("illuminance_lux"), "50"}}, true};
    const NamedRow bright{"bright", {{*columnIndex("illuminance_lux"), "50000"}}, true};
    const NamedRow broken{"broken", {{*columnIndex("mode"), "sideways"}}, true};
    const std::vector<NamedRow> conditions{bright, dark, broken};
    const ReviewGrid grid = reviewGrid(design("750"), conditions, kNumbers);
    ASSERT_EQ(grid.rows.size(), 1U);
    EXPECT_EQ(grid.columns, (std::vector<std::string>{"bright", "dark", "broken"}));
    const auto& cells = grid.rows[0].cells;
    EXPECT_EQ(cells[2].verdict, Verdict::None);
    EXPECT_FALSE(cells[2].margin);
    EXPECT_TRUE(cells[2].worst && !cells[0].worst && !cells[1].worst); // no verdict is the worst
    const ReviewGrid lit = reviewGrid(design("750"), {conditions.data(), 2}, kNumbers);
    ASSERT_TRUE(lit.rows[0].cells[0].margin && lit.rows[0].cells[1].margin);
    EXPECT_EQ(lit.rows[0].cells[1].worst, *lit.rows[0].cells[1].margin < *lit.rows[0].cells[0].margin);
}

} // namespace
