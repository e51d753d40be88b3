// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_notes.h"
#include "case_texts.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace vistrel;
using namespace vistrel::cli;
using testing_cases::caseOf;
using testing_cases::Texts;

const NumberText kNumbers(NumberFormat::invariant());

const Texts kIlluminance{
    {"mode", "illuminance"}, {"illuminance_lux", "1076"}, {"letter_factor", "0.8"},       {"background_factor", "0.2"},
    {"age", "40"},           {"letter_height_mm", "6"},   {"viewing_distance_mm", "750"}, {"ratio", "7"},
    {"ease", "90"},          {"field_correction", "0.0"}};
const Texts kLuminance{
    {"mode", "luminance"},          {"letter_cdm2", "1"}, {"age", "40"},  {"letter_height_mm", "6"},
    {"viewing_distance_mm", "750"}, {"ratio", "7"},       {"ease", "90"}, {"field_correction", "0.0"}};

struct NoteRow {
    const char* name;
    const Texts* base;
    Texts more;
    std::optional<NoteKind> kind; // the one note expected, or none
    const char* column = "";
    double value = 0; // suggested fraction, or the exact contrast
    double shown = 0; // the contrast shown
};

void PrintTo(const NoteRow& r, std::ostream* os) { *os << r.name; }

class Plausibility : public testing::TestWithParam<NoteRow> {};

TEST_P(Plausibility, NotesWhatLooksLikeASlipAndNothingElse) {
    const NoteRow& r = GetParam();
    Case c = caseOf(*r.base, r.more);
    const Evaluation e = evaluate(c, kNumbers);
    ASSERT_TRUE(e.hasVerdict()) << e.message; // a note never takes the verdict away
    const auto notes = plausibilityNotes(c, kNumbers);
    if (!r.kind) {
        EXPECT_TRUE(notes.empty());
        return;
    }
    ASSERT_EQ(notes.size(), 1U);
    EXPECT_EQ(notes[0].kind, *r.kind);
    EXPECT_EQ(kColumns[notes[0].column].name, r.column);
    if (*r.kind == NoteKind::PercentFraction) {
        EXPECT_DOUBLE_EQ(notes[0].suggested, r.value);
    }
    if (*r.kind == NoteKind::RoundedLuminance) {
        EXPECT_NEAR(*notes[0].exactContrast, r.value, 1e-9);
        EXPECT_DOUBLE_EQ(*notes[0].shownContrast, r.shown);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Plausibility,
    testing::Values(
        NoteRow{
            "PercentLetter", &kIlluminance, {{"letter_factor", "80"}}, NoteKind::PercentFraction, "letter_factor", 0.8},
        NoteRow{"PercentBackground",
                &kIlluminance,
                {{"background_factor", "20"}},
                NoteKind::PercentFraction,
                "background_factor",
                0.2},
        NoteRow{"FactorOfOne", &kIlluminance, {{"letter_factor", "1"}}, std::nullopt},
        NoteRow{"FactorsUnusedInLuminanceMode",
                &kLuminance,
                {{"background_cdm2", "10"}, {"letter_factor", "80"}},
                std::nullopt},
        NoteRow{"Age300", &kIlluminance, {{"age", "300"}}, NoteKind::AgeOutsideRange, "age"},
        NoteRow{"Age9", &kIlluminance, {{"age", "9.99"}}, NoteKind::AgeOutsideRange, "age"},
        NoteRow{"Age10", &kIlluminance, {{"age", "10"}}, std::nullopt},
        NoteRow{"Age90", &kIlluminance, {{"age", "90"}}, std::nullopt},
        NoteRow{"Background001",
                &kLuminance,
                {{"background_cdm2", "0.01"}},
                NoteKind::RoundedLuminance,
                "background_cdm2",
                99,
                96.333},
        // Dimmed off-axis, the luminances lose to the veil: 0.144, not the 0.288 of the display head-on.
        NoteRow{"Background001OffAxis",
                &kLuminance,
                {{"background_cdm2", "0.01"}, {"veil_cdm2", "3.426"}, {"off_axis_factor", "0.5"}},
                NoteKind::RoundedLuminance,
                "background_cdm2",
                0.144272806761877,
                0.144},
        NoteRow{"Background0002",
                &kLuminance,
                {{"background_cdm2", "0.002"}},
                NoteKind::RoundedLuminance,
                "background_cdm2",
                499,
                291},
        NoteRow{"LetterRounded",
                &kLuminance,
                {{"background_cdm2", "10"}, {"letter_cdm2", "0.01"}},
                NoteKind::RoundedLuminance,
                "letter_cdm2",
                0.999,
                0.999},
        NoteRow{"BackgroundHeldWithinOnePercent", &kLuminance, {{"background_cdm2", "10"}}, std::nullopt},
        NoteRow{"FootlambertsAsTyped", &kLuminance, {{"background_fl", "0.0025"}, {"letter_fl", "0.3"}}, std::nullopt},
        NoteRow{"AmbientWithoutReflectance",
                &kIlluminance,
                {{"ambient_lux", "5000"}},
                NoteKind::AmbientWithoutEffect,
                "ambient_lux"},
        NoteRow{"AmbientReflected",
                &kIlluminance,
                {{"ambient_lux", "5000"}, {"display_reflectance", "0.02"}},
                std::nullopt},
        // The glare veil is part of the exact veil, not a rounding of the one veil_cdm2 gives.
        NoteRow{"GlareAddsToTheVeil",
                &kLuminance,
                {{"background_cdm2", "10"}, {"veil_cdm2", "0.1"}, {"glare_lux", "1;0.2"}, {"glare_angle_deg", "5;10"}},
                std::nullopt}));

TEST(Assumptions, ListsEveryInputTakenAsAValueItWasNotGiven) {
    const auto names = [](const Case& c) {
        std::vector<std::string> out;
        for (const Assumption& a : assumptions(c, kNumbers)) {
            out.push_back(std::string(kColumns[a.column].name) + "=" + std::string(a.value));
        }
        return out;
    };
    Texts noCorrection(kIlluminance.begin(), kIlluminance.end() - 1);
    using V = std::vector<std::string>;
    EXPECT_EQ(names(caseOf(noCorrection)), V{"field_correction=0.0"});
    EXPECT_EQ(names(caseOf(kIlluminance)), V{}); // 0.0 given is no assumption
    EXPECT_EQ(names(caseOf(kIlluminance, {{"ambient_lux", "5000"}, {"specular_cdm2", "100"}})),
              (V{"display_reflectance=0", "specular_reflectance=0", "veil_cdm2=0"}));
    // Seen off the normal, the angles left empty are 0 and, where the display emits, the factor 1.
    const auto view = [&](const Case& c) { // after the five daylight inputs
        const V all = names(c);
        return V(all.begin() + std::min<std::ptrdiff_t>(5, std::ssize(all)), all.end());
    };
    EXPECT_EQ(view(caseOf(kIlluminance, {{"view_tilt_deg", "20"}})), V{"view_pan_deg=0"});
    EXPECT_EQ(view(caseOf(kLuminance, {{"view_pan_deg", "20"}})), (V{"view_tilt_deg=0", "off_axis_factor=1"}));
    EXPECT_EQ(view(caseOf(kIlluminance, {{"view_tilt_deg", ""}})), V{}); // named, but not seen off the normal
    const Texts glare{{"ambient_lux", "1"},          {"display_reflectance", "0"}, {"specular_cdm2", "0"},
                      {"specular_reflectance", "0"}, {"veil_cdm2", "0"},           {"glare_lux", "1"},
                      {"glare_angle_deg", "5"}};
    EXPECT_EQ(names(caseOf(kIlluminance, glare)), V{"eye_pigment=0.5 (brown eyes)"});
    Texts pigmented = glare;
    pigmented.emplace_back("eye_pigment", "1");
    EXPECT_EQ(names(caseOf(kIlluminance, pigmented)), V{});
}

// Every field the calculation refuses to go without is named, and nothing it can do without.
TEST(MissingInputs, NameWhatTheCalculationRefusesToGoWithout) {
    for (const Texts* base : {&kIlluminance, &kLuminance}) {
        Texts full = *base;
        if (base == &kLuminance) {
            full.emplace_back("background_cdm2", "10");
        }
        EXPECT_TRUE(missingInputs(caseOf(full)).empty());
        for (std::size_t k = 0; k < full.size(); ++k) {
            Texts without = full;
            without.erase(without.begin() + static_cast<std::ptrdiff_t>(k));
            Case c = caseOf(without);
            const auto missing = missingInputs(c);
            if (full[k].first == "field_correction") { // the start text stands in for it
                EXPECT_TRUE(missing.empty());
                continue;
            }
            ASSERT_FALSE(missing.empty()) << full[k].first;
            EXPECT_EQ(kColumns[missing[0].columns[0]].name, full[k].first);
            if (full[k].first != "mode") { // without a mode the factors are needed too
                ASSERT_EQ(missing.size(), 1U) << full[k].first;
                // The column solve would sweep is not missing.
                EXPECT_TRUE(missingInputs(c, missing[0].columns).empty());
            }
            EXPECT_FALSE(evaluate(c, kNumbers).hasVerdict()) << full[k].first;
        }
    }
}

TEST(MissingInputs, TheMessageOfARowNamesTheEmptyColumns) {
    Case c = caseOf({{"mode", "illuminance"},
                     {"letter_factor", "0.8"},
                     {"background_factor", "0.2"},
                     {"letter_height_mm", "6"},
                     {"viewing_distance_mm", "750"},
                     {"ratio", "7"},
                     {"ease", "90"}});
    EXPECT_EQ(evaluate(c, kNumbers).message,
              std::string(kFillAllMessage) + " (missing: illuminance_lux or illuminance_fc, age)");
    Case dark = caseOf(kLuminance, {{"background_cdm2", "0.001"}});
    EXPECT_TRUE(evaluate(dark, kNumbers)
                    .message.ends_with(" background_cdm2 0.001 is held as 0.000 fL: three decimals round it to zero."));
}

} // namespace
