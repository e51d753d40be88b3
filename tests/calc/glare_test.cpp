// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"
#include "calc/glare.h"
#include "presses.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using namespace vistrel;
using namespace vistrel::testing_presses;
using F = Field;

const NumberText kUs(NumberFormat::usEnglish());

double number(const MemoryStore& s, Field f) { return kUs.parse(s.text(f)).value; }
double margin(const MemoryStore& s) { return number(s, F::LogActualCon) - number(s, F::LogThresholdCon); }

MemoryStore press(Mode mode, const Texts& texts, Recorder& r, Outcome expected = Outcome::Verdict) {
    MemoryStore s = storeFor(mode, texts, Holds::EveryField);
    EXPECT_EQ(calculate(s, NumberFormat::usEnglish(), r), expected) << (r.shown.empty() ? "" : r.shown[0].text);
    return s;
}

// Worked by hand from the equation, E = 1 lx.
TEST(GlareEquation, MatchesTheHandValues) {
    struct Row {
        double angle, age, pigment, veil;
    };
    for (const Row& r : {Row{5, 25, 0.5, 0.296626}, Row{5, 70, 0.5, 0.621689}, Row{2, 45, 1.0, 2.90186}}) {
        EXPECT_NEAR(glareVeilCdm2(1, r.angle, r.age, r.pigment), r.veil, 5e-7) << r.angle << " " << r.age;
    }
}

struct GlareCase {
    std::string label;
    Texts glare;
    std::string message; // empty: a verdict, with veil the GlareVeilCdm2 text
    std::string veil;
};

void PrintTo(const GlareCase& c, std::ostream* os) { *os << c.label; }

class Glare : public testing::TestWithParam<GlareCase> {};

TEST_P(Glare, VeilsOrRefuses) {
    const GlareCase& c = GetParam();
    Recorder r;
    Texts inputs{{F::LetterLumCDM, "50"}, {F::BackLumCDM, "5"}};
    inputs.insert(inputs.end(), c.glare.begin(), c.glare.end());
    const MemoryStore s = press(Mode::Luminance, inputs, r, c.message.empty() ? Outcome::Verdict : Outcome::Fault);
    if (!c.message.empty()) {
        ASSERT_EQ(r.shown.size(), 1u);
        EXPECT_EQ(r.shown[0].text, c.message);
    }
    EXPECT_EQ(s.text(F::GlareVeilCdm2), c.veil);
}

const std::string kAngleDomain = "Glare Angle in deg must be from 0.1 to 100, the domain of the CIE 146 glare formula.";
// Age 40: 1 + (40/62.5)^4 = 1.16777216.
const std::string kTwoSources = kUs.threeDecimals(glareVeilCdm2(1000, 5, 40, 0.5) + glareVeilCdm2(300, 20, 40, 0.5));

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sources, Glare, testing::Values(
    GlareCase{"NoSourceNoVeil", {}, "", ""},
    GlareCase{"PigmentAloneNoVeil", {{F::EyePigment, "1"}}, "", ""},
    GlareCase{"NearestAngle", {{F::GlareLux, "1"}, {F::GlareAngleDeg, "0.1"}},
              "", kUs.threeDecimals(glareVeilCdm2(1, 0.1, 40, 0.5))},
    GlareCase{"WidestAngle", {{F::GlareLux, "1000"}, {F::GlareAngleDeg, "100"}},
              "", kUs.threeDecimals(glareVeilCdm2(1000, 100, 40, 0.5))},
    GlareCase{"PigmentGiven", {{F::GlareLux, "10"}, {F::GlareAngleDeg, "2"}, {F::EyePigment, "1.2"}},
              "", kUs.threeDecimals(glareVeilCdm2(10, 2, 40, 1.2))},
    GlareCase{"TwoSourcesSum", {{F::GlareLux, "1000;300"}, {F::GlareAngleDeg, " 5 ; 20"}}, "", kTwoSources},
    GlareCase{"BelowDomain", {{F::GlareLux, "1"}, {F::GlareAngleDeg, "0.099"}}, kAngleDomain, ""},
    GlareCase{"AboveDomain", {{F::GlareLux, "1"}, {F::GlareAngleDeg, "100.1"}}, kAngleDomain, ""},
    GlareCase{"SecondSourceOutside", {{F::GlareLux, "1;1"}, {F::GlareAngleDeg, "5;120"}},
              "Glare Angle in deg of source 2 must be from 0.1 to 100, the domain of the CIE 146 glare formula.", ""},
    GlareCase{"NegativeLux", {{F::GlareLux, "2;-1"}, {F::GlareAngleDeg, "5;5"}},
              "Glare Illuminance at the Eye in lux of source 2 must not be negative.", ""},
    GlareCase{"LuxWithoutAngle", {{F::GlareLux, "10"}},
              "Enter the Glare Angle in deg too: each glare source needs its illuminance at the eye and its angle.", ""},
    GlareCase{"CountsDiffer", {{F::GlareLux, "10;20"}, {F::GlareAngleDeg, "5"}},
              "Glare Illuminance at the Eye in lux lists 2 glare sources and Glare Angle in deg 1: give one angle "
              "for each illuminance.", ""},
    GlareCase{"EmptyItem", {{F::GlareLux, "10;;20"}, {F::GlareAngleDeg, "5;6;7"}},
              "Glare Illuminance at the Eye in lux of source 2 is empty: give one number for each source, "
              "separated by \";\".", ""},
    GlareCase{"ItemInWords", {{F::GlareLux, "10;20"}, {F::GlareAngleDeg, "5;near"}},
              "Glare Angle in deg of source 2 is not a number.", ""},
    GlareCase{"TooManySources", {{F::GlareLux, "1;1;1;1;1;1;1;1;1;1;1;1;1;1;1;1;1"}, {F::GlareAngleDeg, "5"}},
              "Glare Illuminance at the Eye in lux lists 17 glare sources; at most 16 are allowed.", ""},
    GlareCase{"PigmentOutside", {{F::GlareLux, "1"}, {F::GlareAngleDeg, "5"}, {F::EyePigment, "1.3"}},
              "Eye Pigmentation must be from 0 (very dark eyes) to 1.2 (very light blue eyes), the range of the "
              "CIE 146 glare formula.", ""}),
    [](const auto& param) { return param.param.label; });
// clang-format on

struct Design {
    std::string label;
    Mode mode;
    Texts inputs;
};

void PrintTo(const Design& d, std::ostream* os) { *os << d.label; }

const std::vector<Design> kDesigns{
    {"Backlit", Mode::Luminance, {{F::LetterLumCDM, "50"}, {F::BackLumCDM, "5"}}},
    {"DarkLettersOld", Mode::Luminance, {{F::LetterLumCDM, "2"}, {F::BackLumCDM, "40"}, {F::Age, "70"}}},
    {"Reflective", Mode::Illuminance, {{F::ILLLUX2, "200"}, {F::VeilCdm2, "0.4"}}},
    {"Source",
     Mode::Source,
     {{F::SourceID2, "1000"}, {F::DistSinFT2, "10"}, {F::LetterTrans2, "0.1"}, {F::BackTrans2, "0.5"}}},
};

class WithGlare : public testing::TestWithParam<Design> {};

// The glare veil enters VeilFl exactly as the same luminance given as veil_cdm2.
TEST_P(WithGlare, EndsAsTheSameVeilGivenAsVeilCdm2) {
    const Design& d = GetParam();
    Texts glare = d.inputs;
    glare.insert(glare.end(), {{F::GlareLux, "30;2"}, {F::GlareAngleDeg, "10;1.5"}, {F::EyePigment, "1"}});
    Recorder r;
    const MemoryStore g = press(d.mode, glare, r);
    double further = number(g, F::GlareVeilCdm2);
    Texts veiled = d.inputs;
    for (const auto& [f, t] : d.inputs) {
        further += f == F::VeilCdm2 ? kUs.parse(t).value : 0.0;
    }
    veiled.emplace_back(F::VeilCdm2, kUs.plain(further));
    const MemoryStore v = press(d.mode, veiled, r);
    EXPECT_GT(number(g, F::VeilFl), 0);
    for (const FieldInfo& f : kFields) {
        if (f.role == Role::Output && f.field != F::GlareVeilCdm2) {
            EXPECT_EQ(g.text(f.field), v.text(f.field)) << f.key;
        }
    }
}

// More glare, or glare nearer the line of sight, never leaves the letters easier to read.
TEST_P(WithGlare, MarginNeverRisesAsGlareGrowsOrNears) {
    const Design& d = GetParam();
    // A veil that drowns the contrast to 0.000 leaves no verdict: worse than any margin.
    const auto marginAt = [&](const std::string& lux, const std::string& angle) {
        Texts inputs = d.inputs;
        inputs.insert(inputs.end(), {{F::GlareLux, lux}, {F::GlareAngleDeg, angle}});
        MemoryStore s = storeFor(d.mode, inputs, Holds::EveryField);
        Recorder r;
        if (calculate(s, NumberFormat::usEnglish(), r) == Outcome::Verdict) {
            return margin(s);
        }
        EXPECT_EQ(r.shown.at(0).text,
                  "The actual contrast is zero: the letters do not stand out from their background.");
        return -std::numeric_limits<double>::infinity();
    };
    double last = marginAt("0", "10");
    for (double lux = 0.5; lux <= 5000; lux *= 3) {
        const double m = marginAt(kUs.plain(lux), "10");
        EXPECT_LE(m, last) << lux;
        last = m;
    }
    EXPECT_LT(last, marginAt("0", "10"));
    last = marginAt("20", "100");
    for (double angle = 100; angle >= 0.1; angle /= 1.7) {
        const double m = marginAt("20", kUs.plain(angle));
        EXPECT_LE(m, last) << angle;
        last = m;
    }
}

INSTANTIATE_TEST_SUITE_P(Designs, WithGlare, testing::ValuesIn(kDesigns),
                         [](const auto& param) { return param.param.label; });

} // namespace
