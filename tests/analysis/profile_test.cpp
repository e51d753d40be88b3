// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

QuantityValues valuesOf(std::initializer_list<std::pair<std::string_view, double>> given) {
    QuantityValues values;
    for (const auto& [name, value] : given) {
        values[*quantityIndex(name)] = value;
    }
    return values;
}

Profile parsed(const std::string& text) {
    auto result = parseProfile(text, "test.toml");
    if (!result) {
        ADD_FAILURE() << result.error().text();
    }
    return std::move(result).value();
}

std::string criterion(std::string_view kind, std::string_view limits, std::string_view extra = "") {
    return "[[criterion]]\nid = \"c\"\nquantity = \"letter_size_arcmin\"\nkind = \"" + std::string(kind) + "\"\n" +
           std::string(limits) + "\nlevel = \"required\"\nsource = \"test\"\n" + std::string(extra);
}

struct LimitCase {
    std::string_view kind;
    std::string_view limits;
    double value;
    CheckStatus expected;
};

class Limits : public testing::TestWithParam<LimitCase> {};

TEST_P(Limits, AtTheLimitPassesJustBeyondFails) {
    const auto& p = GetParam();
    const Profile profile = parsed(criterion(p.kind, p.limits));
    const auto results = ProfileChecker(profile).check(valuesOf({{"letter_size_arcmin", p.value}}));
    ASSERT_EQ(results.size(), 1U);
    EXPECT_EQ(results[0].status, p.expected) << p.kind << " " << p.value;
}

INSTANTIATE_TEST_SUITE_P(Kinds, Limits,
                         testing::Values(LimitCase{"minimum", "limit = 16", 16.0, CheckStatus::Pass},
                                         LimitCase{"minimum", "limit = 16", 15.999, CheckStatus::Fail},
                                         LimitCase{"maximum", "limit = 24", 24.0, CheckStatus::Pass},
                                         LimitCase{"maximum", "limit = 24", 24.001, CheckStatus::Fail},
                                         LimitCase{"range", "low = 20\nhigh = 22", 20.0, CheckStatus::Pass},
                                         LimitCase{"range", "low = 20\nhigh = 22", 22.0, CheckStatus::Pass},
                                         LimitCase{"range", "low = 20\nhigh = 22", 19.999, CheckStatus::Fail},
                                         LimitCase{"range", "low = 20\nhigh = 22", 22.001, CheckStatus::Fail},
                                         // 0.1 * 3 is not exactly 0.3 in binary
                                         LimitCase{"minimum", "limit = \"0.1 * 3\"", 0.3, CheckStatus::Pass},
                                         LimitCase{"maximum", "limit = \"0.1 * 3\"", 0.3, CheckStatus::Pass}));

struct Refusal {
    std::string_view name;
    std::string text;
    int line;
    std::string_view reason;
};

class Refusals : public testing::TestWithParam<Refusal> {};

TEST_P(Refusals, NameTheLineAndReason) {
    const auto& p = GetParam();
    const auto result = parseProfile(p.text, "team.toml");
    ASSERT_FALSE(result) << p.name;
    const auto& error = result.error();
    EXPECT_EQ(error.file, "team.toml");
    EXPECT_EQ(error.line, p.line) << error.text();
    EXPECT_NE(error.message.find(p.reason), std::string::npos) << error.text();
}

const std::string kGood = criterion("minimum", "limit = 16");

INSTANTIATE_TEST_SUITE_P(
    BadProfiles, Refusals,
    testing::Values(
        Refusal{"syntax", "title = \"x\"\n[[criterion]\nid = 1\n", 2, "expected"},
        Refusal{"unknown_quantity",
                "[[criterion]]\nid = \"d\"\nquantity = \"letter_size\"\nkind = \"minimum\"\n"
                "limit = 1\nlevel = \"required\"\nsource = \"s\"\n",
                3, "unknown quantity 'letter_size'"},
        Refusal{"unknown_in_expression", criterion("minimum", "limit = \"0.3 + stroke\""), 5,
                "unknown quantity 'stroke'"},
        Refusal{"bad_expression", criterion("minimum", "limit = \"0.3 + (2\""), 5, "bad expression in limit"},
        Refusal{"assignment", criterion("minimum", "limit = \"ratio += 3\""), 5, "must not assign"},
        Refusal{"two_expressions", criterion("minimum", "limit = \"1, 2\""), 5, "single expression"},
        Refusal{"missing_limit", criterion("minimum", ""), 1, "missing limit"},
        Refusal{"missing_high", criterion("range", "low = 1"), 1, "missing high"},
        Refusal{"limit_on_range", criterion("range", "low = 1\nhigh = 2\nlimit = 3"), 7, "takes low and high"},
        Refusal{"empty_range", criterion("range", "low = 22\nhigh = 20"), 5, "low exceeds high"},
        Refusal{"nan_limit", criterion("maximum", "limit = nan"), 5, "fill in"},
        Refusal{"text_limit_type", criterion("maximum", "limit = true"), 5, "a number or an expression"},
        Refusal{"duplicate_id", kGood + kGood, 9, "duplicate id 'c' (first at line 1)"},
        Refusal{"bad_kind", criterion("least", "limit = 1"), 4, "kind must be minimum, maximum or range"},
        Refusal{"bad_level",
                "[[criterion]]\nid = \"c\"\nquantity = \"ratio\"\nkind = \"minimum\"\nlimit = 1\n"
                "level = \"mandatory\"\nsource = \"x\"\n",
                6, "level must be required or recommended"},
        Refusal{"missing_level", "[[criterion]]\nid = \"c\"\nquantity = \"ratio\"\nkind = \"minimum\"\n", 1,
                "missing level"},
        Refusal{"unknown_key", criterion("minimum", "limit = 1", "wehn = \"ratio > 1\"\n"), 8, "unknown key 'wehn'"},
        Refusal{"bad_condition", criterion("minimum", "limit = 1", "when = \"polarity >\"\n"), 8,
                "bad expression in when"},
        Refusal{"unknown_top_level", "name = \"x\"\n" + kGood, 1, "unknown key 'name'"},
        Refusal{"no_criteria", "title = \"empty\"\n", 0, "no [[criterion]]"},
        Refusal{"target_on_minimum", criterion("minimum", "limit = 1", "target = 2\n"), 8, "for a range only"},
        Refusal{"target_outside", criterion("range", "low = 5.5\nhigh = 6.5", "target = 7\n"), 9, "outside low..high"},
        Refusal{"target_expression", criterion("range", "low = 1\nhigh = 2", "target = \"ratio\"\n"), 9,
                "target must be a number"},
        Refusal{"empty_withdrawn", criterion("minimum", "limit = 1", "withdrawn = \"\"\n"), 8,
                "withdrawn must be non-empty text"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ProfileCheck, ReportsMarginsNotesAndRequiredOutcome) {
    const Profile profile = parsed(criterion("range", "low = 20\nhigh = 22") +
                                   "[[criterion]]\nid = \"cr\"\nquantity = \"contrast_ratio\"\nkind = \"minimum\"\n"
                                   "limit = 6\nlevel = \"recommended\"\nsource = \"s\"\n");
    ProfileChecker checker(profile);
    auto results = checker.check(valuesOf({{"letter_size_arcmin", 21.5}, {"contrast_ratio", 3.0}}));
    EXPECT_EQ(results[0].limit, 22.0); // the nearer end of the range
    EXPECT_DOUBLE_EQ(*results[0].margin, -0.5);
    EXPECT_DOUBLE_EQ(*results[0].marginRatio, 21.5 / 22.0);
    EXPECT_EQ(results[1].status, CheckStatus::Fail);
    EXPECT_DOUBLE_EQ(*results[1].marginRatio, 0.5);
    EXPECT_TRUE(allRequiredPass(results)); // only a recommendation failed

    results = checker.check(valuesOf({{"letter_size_arcmin", 21.5}})); // an infinite ratio arrives empty
    EXPECT_EQ(results[1].status, CheckStatus::NoValue);
    EXPECT_EQ(results[1].note, "no value for contrast_ratio");
    results = checker.check(valuesOf({{"contrast_ratio", 8.0}}));
    EXPECT_EQ(results[0].status, CheckStatus::NoValue);
    EXPECT_FALSE(allRequiredPass(results)); // a required check without a value does not pass
}

const std::string kProfiles = VISTREL_PROFILES_DIR;

TEST(ShippedProfiles, ModulationAppliesOnlyToSmallCharacters) {
    auto loaded = loadProfile(kProfiles + "/text-legibility.toml");
    ASSERT_TRUE(loaded) << loaded.error().text();
    ProfileChecker profile(*loaded);
    auto modulationAt = [&](double size, std::optional<double> modulation) {
        auto values = valuesOf({{"letter_size_arcmin", size}});
        values[*quantityIndex("modulation")] = modulation;
        const auto results = profile.check(values);
        return *std::find_if(results.begin(), results.end(),
                             [](const auto& r) { return r.criterion->id == "small-char-modulation"; });
    };
    EXPECT_EQ(modulationAt(12.0, 0.86).status, CheckStatus::Pass); // 0.3 + 0.07 * 8
    EXPECT_EQ(modulationAt(12.0, 0.85).status, CheckStatus::Fail);
    EXPECT_EQ(modulationAt(17.5, 0.1).status, CheckStatus::NotApplicable);
    EXPECT_EQ(modulationAt(12.0, std::nullopt).status, CheckStatus::NoValue);
}

TEST(ShippedProfiles, StrokeRatioFollowsThePolarityAndHeightFollowsTheDistance) {
    const NumberText numbers(NumberFormat::invariant());
    std::map<std::string, std::string, std::less<>> row{
        {"ratio", "7"}, {"polarity", "positive"}, {"letter_height_mm", "3.75"}, {"viewing_distance_mm", "750"}};
    const ColumnLookup lookup = [&](std::string_view column) -> std::optional<std::string_view> {
        const auto it = row.find(column);
        return it == row.end() ? std::nullopt : std::optional<std::string_view>(it->second);
    };
    const auto strokeProfile = loadProfile(kProfiles + "/stroke-width.toml");
    const auto distanceProfile = loadProfile(kProfiles + "/faa-distance.toml");
    ProfileChecker stroke(*strokeProfile);
    ProfileChecker distance(*distanceProfile);
    auto results = stroke.check(quantitiesFromRow(lookup, numbers));
    EXPECT_EQ(results[0].status, CheckStatus::NotApplicable); // dark on light
    EXPECT_EQ(results[1].status, CheckStatus::Pass);
    row["polarity"] = "negative";
    results = stroke.check(quantitiesFromRow(lookup, numbers));
    EXPECT_EQ(results[0].status, CheckStatus::Fail);
    EXPECT_EQ(results[1].status, CheckStatus::NotApplicable);
    row["polarity"] = "";
    EXPECT_EQ(stroke.check(quantitiesFromRow(lookup, numbers))[0].status, CheckStatus::NoValue);

    EXPECT_EQ(distance.check(quantitiesFromRow(lookup, numbers))[0].status, CheckStatus::Pass); // exactly 1/200
    row["letter_height_mm"] = "3.7";
    EXPECT_EQ(distance.check(quantitiesFromRow(lookup, numbers))[0].status, CheckStatus::Fail);
}

// "Approximately 1/6" accepts the ratios nearer 6 than 5 or 7, not 6 alone.
TEST(ShippedProfiles, DarkOnLightStrokeRatioIsABandAroundSix) {
    const auto loaded = loadProfile(kProfiles + "/stroke-width.toml");
    ASSERT_TRUE(loaded) << loaded.error().text();
    ProfileChecker stroke(*loaded);
    for (const auto& [ratio, expected] :
         {std::pair{5.4, CheckStatus::Fail}, std::pair{5.5, CheckStatus::Pass}, std::pair{6.0, CheckStatus::Pass},
          std::pair{6.5, CheckStatus::Pass}, std::pair{6.6, CheckStatus::Fail}}) {
        const auto result = stroke.check(valuesOf({{"ratio", ratio}, {"polarity", -1.0}}))[0];
        EXPECT_EQ(result.status, expected) << ratio;
        EXPECT_EQ(result.criterion->target, 6.0);
    }
}

// Where the sources say "should", a design is not failed: 6 mm at 750 mm is 27.5 arcmin.
TEST(ShippedProfiles, ShouldIsNotRequired) {
    for (const auto& [file, values] :
         {std::pair{"/text-legibility.toml",
                    valuesOf({{"letter_size_arcmin", 27.5}, {"contrast_ratio", 12.0}, {"modulation", 0.85}})},
          std::pair{"/faa-distance.toml", valuesOf({{"height_fraction", 1.0 / 250}})}}) {
        const auto loaded = loadProfile(kProfiles + file);
        ASSERT_TRUE(loaded) << loaded.error().text();
        EXPECT_TRUE(allRequiredPass(ProfileChecker(*loaded).check(values))) << file;
    }
}

TEST(ShippedProfiles, TheTeamTemplateIsRefusedUntilFilledIn) {
    const auto result = loadProfile(VISTREL_PROFILE_TEMPLATE);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find("fill in"), std::string::npos);
}

TEST(FindProfile, ByNameInTheSearchFoldersOrByFile) {
    const std::vector<std::filesystem::path> dirs{"/nonexistent", kProfiles};
    EXPECT_EQ(findProfile("faa-distance", dirs), std::filesystem::path(kProfiles) / "faa-distance.toml");
    EXPECT_EQ(findProfile("no-such-profile", dirs), std::nullopt);
    EXPECT_EQ(findProfile("../profiles/faa-distance", dirs), std::nullopt); // a path must name the file itself
    EXPECT_EQ(findProfile(kProfiles + "/stroke-width.toml", dirs), kProfiles + "/stroke-width.toml");
}

} // namespace

namespace {

// One loaded profile, shared: every thread compiles its own checker from it,
// and the file is not read again.
TEST(SharedProfile, CheckersOnSeveralThreadsNeedNoFile) {
    const auto path = std::filesystem::temp_directory_path() / ("shared-" + std::to_string(::getpid()) + ".toml");
    std::ofstream(path) << criterion("minimum", "limit = \"letter_height_mm * 4\"");
    auto loaded = loadProfile(path);
    ASSERT_TRUE(loaded) << loaded.error().text();
    std::filesystem::remove(path);
    const auto profile = std::make_shared<const Profile>(std::move(*loaded));
    std::vector<CheckStatus> seen(4);
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < seen.size(); ++t) {
        workers.emplace_back([&, t] {
            ProfileChecker checker(*profile);
            for (int k = 0; k < 1000; ++k) { // the limit moves with every call: shared state would mix them
                const double height = t % 2 == 0 ? 4.0 : 5.0;
                seen[t] =
                    checker.check(valuesOf({{"letter_size_arcmin", 18.0}, {"letter_height_mm", height}}))[0].status;
                if (seen[t] != (t % 2 == 0 ? CheckStatus::Pass : CheckStatus::Fail)) {
                    return;
                }
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_EQ(seen,
              (std::vector<CheckStatus>{CheckStatus::Pass, CheckStatus::Fail, CheckStatus::Pass, CheckStatus::Fail}));
}

} // namespace
