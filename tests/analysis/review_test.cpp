// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/review.h"

#include <gtest/gtest.h>

#include <array>

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

namespace {

using namespace vistrel::cli;

struct StandingCase {
    Verdict verdict;
    std::size_t required, recommended;
    Standing standing;
    std::array<bool, 3> fails; // --fail-on not-legible, required, recommended
};

// The headline and --fail-on rest on this: no verdict is as bad as Not
// Legible, and a failed required check keeps a Legible design from passing.
TEST(ReviewModel, StandingCombinesTheVerdictWithTheChecks) {
    for (const StandingCase& t : {
             StandingCase{Verdict::Legible, 0, 0, Standing::Passes, {false, false, false}},
             StandingCase{Verdict::Legible, 0, 2, Standing::FailsRecommended, {false, false, true}},
             StandingCase{Verdict::Legible, 1, 0, Standing::FailsRequired, {false, true, true}},
             StandingCase{Verdict::Legible, 3, 1, Standing::FailsRequired, {false, true, true}},
             StandingCase{Verdict::NotLegible, 0, 0, Standing::NotLegible, {true, true, true}},
             StandingCase{Verdict::NotLegible, 2, 2, Standing::NotLegible, {true, true, true}},
             StandingCase{Verdict::None, 0, 0, Standing::NoVerdict, {true, true, true}},
         }) {
        const Standing s = standingOf(t.verdict, t.required, t.recommended);
        EXPECT_EQ(s, t.standing) << t.required << " " << t.recommended;
        for (const FailOn on : {FailOn::NotLegible, FailOn::Required, FailOn::Recommended}) {
            EXPECT_EQ(fails(s, on), t.fails[static_cast<std::size_t>(on)])
                << static_cast<int>(s) << " on " << static_cast<int>(on);
        }
    }
}

struct MetaCase {
    std::string_view text;
    int errorLine;          // 0: read
    std::string_view shown; // the revision field, or a phrase of the error
};

// Values are shown as given; a slip is refused with its line, never left blank.
TEST(ReviewMeta, ReadsWhatIsGivenAndNamesTheLineOfAFault) {
    for (const MetaCase& t : {
             MetaCase{"revision = \"B\"\n", 0, "B"},
             MetaCase{"revision = 3\n", 0, "3"},
             MetaCase{"date = 2026-02-03\nrevision = \"\"\n", 0, ""},
             MetaCase{"doc_id = \"x\"\nprepard_by = \"A\"\n", 2, "unknown key 'prepard_by'"},
             MetaCase{"revision = 1.5\n", 1, "must be text, a whole number or a date"},
             MetaCase{"[[revisions]]\nrevision = \"1\"\n\n[[revisions]]\nauthor = [1]\n", 5, "author must be"},
             MetaCase{"[[revisions]]\nrevison = \"1\"\n", 2, "unknown key 'revison'"},
             MetaCase{"revisions = 3\n", 1, "[[revisions]] tables"},
             MetaCase{"doc_id = \"unclosed\n", 1, ""},
         }) {
        const auto meta = parseReviewMeta(t.text, "m.toml");
        ASSERT_EQ(meta.ok(), t.errorLine == 0) << t.text;
        if (meta) {
            EXPECT_EQ(meta->revision, t.shown) << t.text;
            continue;
        }
        EXPECT_EQ(meta.error().file, "m.toml");
        EXPECT_EQ(meta.error().line, t.errorLine) << t.text;
        EXPECT_NE(meta.error().message.find(t.shown), std::string::npos) << meta.error().message;
    }
    const auto full = parseReviewMeta("doc_id = \"D-1\"\napproved_by = \"B\"\n[[revisions]]\nrevision = \"1\"\n"
                                      "date = 2026-01-02\nauthor = \"A\"\ndescription = \"First\"\n",
                                      "m.toml");
    ASSERT_TRUE(full) << full.error().text();
    EXPECT_EQ(full->docId, "D-1");
    EXPECT_TRUE(full->date.empty() && full->preparedBy.empty()); // nothing made up
    ASSERT_EQ(full->revisions.size(), 1U);
    EXPECT_EQ(full->revisions[0].date, "2026-01-02");
    EXPECT_EQ(full->revisions[0].description, "First");
    EXPECT_FALSE(parseReviewMeta(std::string(kMaxReviewMetaBytes + 1, '#'), "m.toml"));
}

} // namespace
