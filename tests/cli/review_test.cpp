// SPDX-License-Identifier: GPL-3.0-or-later
#include "review.h"
#include "review_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using namespace vistrel::cli;

const vistrel::NumberText kNumbers(vistrel::NumberFormat::invariant());

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// What a reader sees: one line per block, table cells joined by " | ".
std::string visibleText(std::string html) {
    const std::size_t styleStart = html.find("<style>");
    const std::size_t styleEnd = html.find("</style>");
    if (styleStart != std::string::npos && styleEnd != std::string::npos) {
        html.erase(styleStart, styleEnd - styleStart);
    }
    std::string text;
    for (std::size_t k = 0; k < html.size();) {
        if (html[k] != '<') {
            text += html[k] == '\n' ? ' ' : html[k]; // as the browser collapses it
            ++k;
            continue;
        }
        const std::size_t end = html.find('>', k);
        const std::string tag = html.substr(k + 1, end - k - 1);
        const std::string name = tag.substr(0, tag.find_first_of(" />", tag[0] == '/' ? 1 : 0));
        if (name == "/td" || name == "/th") {
            text += " | ";
        } else if (name != "td" && name != "th" && name != "tr") {
            text += '\n';
        }
        k = end + 1;
    }
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (const auto& [entity, c] :
             {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
            for (std::size_t at = line.find(entity); at != std::string::npos; at = line.find(entity, at + 1)) {
                line.replace(at, std::string_view(entity).size(), c);
            }
        }
        for (std::size_t at = line.find("  "); at != std::string::npos; at = line.find("  ", at)) {
            line.erase(at, 1);
        }
        line.erase(0, line.find_first_not_of(' '));
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty()) {
            out += line + '\n';
        }
    }
    return out;
}

Review workedReview() {
    // A fixed date and version: the golden pins the words, not the day or the release.
    Review review{"Worked case", "2026-01-01", "VERSION", {}};
    review.designs.push_back(
        test::evaluatedDesign("", test::workedRow(), VISTREL_PROFILES_DIR, {"text-legibility", "faa-distance"}, 2000));
    return review;
}

TEST(Review, WorkedCaseReadsAsTheGoldenText) {
    const std::string golden = std::string(VISTREL_GOLDEN_DIR) + "/review_worked.txt";
    const std::string text = visibleText(reviewHtml(workedReview(), kNumbers));
    if (std::getenv("VISTREL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(golden) << text;
    }
    std::ifstream in(golden);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, expected);
}

TEST(Review, SeveralDesignsGetASummaryAndOneSectionEach) {
    Review review = workedReview();
    auto farther = test::workedRow();
    std::replace(farther.begin(), farther.end(), std::pair<std::string, std::string>{"viewing_distance_mm", "750"},
                 std::pair<std::string, std::string>{"viewing_distance_mm", "9000"});
    review.designs[0].name = "Near";
    review.designs.push_back(test::evaluatedDesign("Far", farther, VISTREL_PROFILES_DIR, {}, 0));
    const std::string text = visibleText(reviewHtml(review, kNumbers));
    EXPECT_NE(text.find("Design | Overall | Verdict | Margin (log units) | Failed checks |\nNear | Legible by the "
                        "model \u2014 fails 1 required check and 3 recommended | Legible | 1.052 |"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Far | Not Legible by the model | Not Legible |"), std::string::npos) << text;
    const std::string html = reviewHtml(review, kNumbers);
    const auto count = [&html](std::string_view what) {
        std::size_t n = 0;
        for (std::size_t at = html.find(what); at != std::string::npos; at = html.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("<section class=\"design"), 2U);
    EXPECT_EQ(count("<section class=\"design next\">"), 1U) << "only the later design starts a new page";
}

// The daylight warning stands only where ambient light cannot act; a slip is named either way.
TEST(Review, WarnsOfDaylightWithoutEffectAndNamesSlips) {
    for (const bool reflecting : {false, true}) {
        auto row = test::workedRow();
        std::replace(row.begin(), row.end(), std::pair<std::string, std::string>{"letter_factor", "0.8"},
                     std::pair<std::string, std::string>{"letter_factor", "80"});
        if (reflecting) {
            row.emplace_back("display_reflectance", "0.02");
        }
        Review review{"Slip", "2026-01-01", "VERSION", {}};
        review.designs.push_back(test::evaluatedDesign("", row, VISTREL_PROFILES_DIR, {}, 0));
        const std::string text = visibleText(reviewHtml(review, kNumbers));
        EXPECT_EQ(text.find("Ambient light has no effect") != std::string::npos, !reflecting) << text;
        EXPECT_EQ(text.find("only because the display reflectance is 0") != std::string::npos, !reflecting);
        EXPECT_NE(text.find("letter_factor 80 is above 1, but it is a fraction from 0 to 1: did you mean 0.8?"),
                  std::string::npos);
        EXPECT_EQ(text.find("Display Reflectance | display_reflectance | 0 |") != std::string::npos, !reflecting);
    }
}

struct Hostile {
    std::string_view slot;
    std::function<void(Review&, ReviewArt&, const std::string&)> place;
};

class Escaping : public testing::TestWithParam<Hostile> {};

// Text from a CSV cell or a profile reaches the page as text, never as markup.
TEST_P(Escaping, HostileTextStaysText) {
    const std::string hostile = "<script>alert(\"x\" & 'y')</script><img src=x onerror=alert(1)>";
    Review review = workedReview();
    std::vector<ReviewArt> art(1);
    GetParam().place(review, art[0], hostile);
    const std::string html = reviewHtml(review, kNumbers, art);
    EXPECT_EQ(lowerCase(html).find("<script"), std::string::npos) << GetParam().slot;
    EXPECT_EQ(lowerCase(html).find("<img"), std::string::npos) << GetParam().slot;
    EXPECT_NE(visibleText(html).find(hostile), std::string::npos) << GetParam().slot;
}

INSTANTIATE_TEST_SUITE_P(
    Slots, Escaping,
    testing::Values(
        Hostile{"title", [](Review& r, ReviewArt&, const std::string& s) { r.title = s; }},
        Hostile{"design", [](Review& r, ReviewArt&, const std::string& s) { r.designs[0].name = s; }},
        Hostile{"input", [](Review& r, ReviewArt&, const std::string& s) { r.designs[0].inputs[0].text = s; }},
        Hostile{"message", [](Review& r, ReviewArt&, const std::string& s) { r.designs[0].messages = {s}; }},
        Hostile{"source",
                [](Review& r, ReviewArt&, const std::string& s) { r.designs[0].profiles[0].checks[0].source = s; }},
        Hostile{"answer",
                [](Review& r, ReviewArt&, const std::string& s) {
                    r.designs[0].answers = {{*columnIndex("age"), {10, 90, s, s, {}}}};
                }},
        Hostile{"condition",
                [](Review& r, ReviewArt&, const std::string& s) {
                    r.designs[0].conditions =
                        ReviewGrid{{s}, {{s, {{Verdict::Legible, 0.1, true}}}}, {{s, {}}}, {{s, s, s, s}}};
                }},
        Hostile{"plot caption",
                [](Review&, ReviewArt& art, const std::string& s) {
                    art.plots = {{s, "<svg viewBox=\"0 0 1 1\"><path d=\"M0 0\"/></svg>"}};
                }}),
    [](const testing::TestParamInfo<Hostile>& param) {
        std::string name(param.param.slot);
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

struct FailedCase {
    std::vector<std::pair<CheckStatus, Level>> checks;
    std::string_view expected;
};

void PrintTo(const FailedCase& c, std::ostream* os) { *os << '"' << c.expected << '"'; }

class FailedSummary : public testing::TestWithParam<FailedCase> {};

TEST_P(FailedSummary, NamesRequiredFailuresFirst) {
    ReviewDesign d;
    d.profiles.emplace_back();
    char id = 'a';
    for (const auto& [status, level] : GetParam().checks) {
        ReviewCheck check;
        check.id = std::string(1, id++);
        check.status = status;
        check.level = level;
        d.profiles[0].checks.push_back(check);
    }
    EXPECT_EQ(failedChecksSummary(d), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, FailedSummary,
                         testing::Values(FailedCase{{{CheckStatus::Pass, Level::Required},
                                                     {CheckStatus::NotApplicable, Level::Required}},
                                                    ""},
                                         FailedCase{{{CheckStatus::NoValue, Level::Recommended}}, ""},
                                         FailedCase{{{CheckStatus::NoValue, Level::Required}}, "a (required)"},
                                         FailedCase{{{CheckStatus::Fail, Level::Recommended},
                                                     {CheckStatus::Fail, Level::Required},
                                                     {CheckStatus::Fail, Level::Required}},
                                                    "b, c (required); a (recommended)"}));

struct HeadlineCase {
    Overall overall;
    std::string_view text;
    std::string_view style;
};

// One line says what the model and the checks say together, and is never
// green while a required check fails.
TEST(Review, HeadlineNamesTheVerdictAndTheFailedChecks) {
    for (const HeadlineCase& t : {
             HeadlineCase{{Standing::Passes, 0, 0, false}, "Legible by the model", "legible"},
             HeadlineCase{{Standing::Passes, 0, 0, true}, "Legible by the model \u2014 passes every check", "legible"},
             HeadlineCase{{Standing::FailsRecommended, 0, 1, true},
                          "Legible by the model \u2014 passes all required checks, fails 1 recommended",
                          "legible"},
             HeadlineCase{{Standing::FailsRequired, 1, 0, true},
                          "Legible by the model \u2014 fails 1 required check",
                          "fails-required"},
             HeadlineCase{{Standing::FailsRequired, 2, 3, true},
                          "Legible by the model \u2014 fails 2 required checks and 3 recommended",
                          "fails-required"},
             HeadlineCase{{Standing::NotLegible, 0, 0, true},
                          "Not Legible by the model \u2014 passes every check",
                          "not-legible"},
             HeadlineCase{{Standing::NoVerdict, 4, 0, true}, "No verdict \u2014 fails 4 required checks", "no-verdict"},
         }) {
        EXPECT_EQ(headline(t.overall), t.text);
        EXPECT_EQ(headlineClass(t.overall.standing), t.style) << t.text;
    }
    // The worked case: Legible, with required checks failed; the summary of several says it too.
    Review review = workedReview();
    review.designs.push_back(review.designs[0]);
    const std::string html = reviewHtml(review, kNumbers);
    const std::string verdict = "class=\"verdict fails-required\">Legible by the model \u2014 fails 1 required";
    EXPECT_NE(html.find(verdict), std::string::npos);
    EXPECT_NE(html.find("<td data-label=\"Overall\" class=\"fails-required\">Legible by the model"), std::string::npos);
    EXPECT_EQ(html.find("verdict legible"), std::string::npos);
}

// Nothing the caller did not give appears as the document's: no date, no name.
TEST(Review, PaperworkShowsWhatWasGivenAndBlanksTheRest) {
    Review review = workedReview();
    review.meta.docId = "VR-7";
    review.meta.revisions = {{"A", "2026-01-02", "<A. N.>", "First issue"}};
    const std::string text = visibleText(reviewHtml(review, kNumbers));
    for (const std::string_view line : {"Document id | VR-7 |", "Date | |", "Approved by | |",
                                        "A | 2026-01-02 | <A. N.> | First issue |", "Generated 2026-01-01 "}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

} // namespace

namespace {

using vistrel::kLegible;
using vistrel::kNotLegible;
using vistrel::NumberFormat;
using vistrel::NumberText;

struct AnswerCase {
    std::string_view target;
    SolveResult solved;
    std::string_view sentence;
    std::string_view value;
};

class InverseAnswer : public testing::TestWithParam<AnswerCase> {};

// The answer is the limit the question asks for, even where the verdict
// changes more than once (dark letters on a bright background read too).
TEST_P(InverseAnswer, TakesTheLimitTheQuestionAsksFor) {
    const NumberText numbers(NumberFormat::invariant());
    const ReviewAnswer a = reviewAnswer("Q", *solveTarget(GetParam().target), GetParam().solved, numbers);
    EXPECT_EQ(a.sentence, GetParam().sentence);
    EXPECT_EQ(a.value, GetParam().value);
}

const std::string kL(kLegible);
const std::string kN(kNotLegible);

INSTANTIATE_TEST_SUITE_P(
    Changes, InverseAnswer,
    testing::Values(
        AnswerCase{"letter_height_mm", {0.5, 100, kN, kL, {{1.58, 1.59, kN, kL}}}, "Legible from 1.59 mm", "1.59"},
        AnswerCase{"viewing_distance_mm",
                   {100, 5000, kL, kN, {{2834.66, 2834.67, kL, kN}}},
                   "Legible up to 2834.66 mm",
                   "2834.66"},
        AnswerCase{"letter_cdm2",
                   {0.01, 100000, kL, kL, {{4.775, 4.776, kL, kN}, {15.1, 15.11, kN, kL}}},
                   "Legible up to 4.775 cd/m² and from 15.11 cd/m²",
                   "15.11"},
        AnswerCase{"ambient_lux",
                   {1, 200000, kN, kN, {{10, 10.1, kN, kL}, {869, 870, kL, kN}}},
                   "Legible from 10.1 to 869 lux",
                   "869"},
        AnswerCase{
            "letter_cdm2", {0.01, 100000, kL, kN, {{4.775, 4.776, kL, kN}}}, "Legible only up to 4.775 cd/m²", ""},
        AnswerCase{"age", {10, 90, kN, kL, {{30, 30.01, kN, kL}}}, "Legible only from 30.01 years", ""},
        AnswerCase{"age", {10, 90, kL, kL, {}}, "Legible everywhere from 10 to 90 years", ""},
        AnswerCase{
            "letter_height_mm",
            {0.5, 100, "Letter HT in mm is not a number.", kN, {{3, 3.01, "Letter HT in mm is not a number.", kN}}},
            "Legible nowhere from 0.5 to 100 mm",
            ""}));

TEST(ReviewDate, ReadsSecondsSince1970AndRefusesAnythingElse) {
    EXPECT_EQ(utcDate("0"), "1970-01-01");
    EXPECT_EQ(utcDate("1767225599"), "2025-12-31");
    for (const std::string_view bad : {"", "-1", "1e9", "12x", " 1", "1234567890123"}) {
        EXPECT_FALSE(utcDate(bad).has_value()) << bad;
    }
}

} // namespace
