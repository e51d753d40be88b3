// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"
#include "presses.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vistrel;
using namespace vistrel::testing_presses;
using F = Field;

const NumberText kUs(NumberFormat::usEnglish());

struct Press {
    MemoryStore store;
    Outcome outcome;
    std::vector<Shown> shown;
};

Press press(Mode mode, const Texts& texts) {
    Press p{storeFor(mode, texts, Holds::EveryField), Outcome::Fault, {}};
    Recorder r;
    p.outcome = calculate(p.store, NumberFormat::usEnglish(), r);
    p.shown = r.shown;
    return p;
}

double margin(const MemoryStore& s) {
    return kUs.parse(s.text(F::LogActualCon)).value - kUs.parse(s.text(F::LogThresholdCon)).value;
}

// Every output but the two the view adds.
void expectSameOutputs(const Press& a, const Press& b, const std::string& label) {
    ASSERT_EQ(a.outcome, b.outcome) << label;
    ASSERT_EQ(a.shown.size(), b.shown.size()) << label;
    for (std::size_t k = 0; k < a.shown.size(); ++k) {
        EXPECT_EQ(a.shown[k].text, b.shown[k].text) << label;
    }
    for (const FieldInfo& f : kFields) {
        if (f.role == Role::Output && f.field != F::ApparentHeightMm && f.field != F::OffAxisDeg) {
            EXPECT_EQ(a.store.text(f.field), b.store.text(f.field)) << label << ' ' << f.name;
        }
    }
}

// The letter size comes from the height the eye sees, as shown: a display
// tilted 30 degrees away from an eye 750 mm in front shows 6 mm letters as
// 6 cos(30) = 5.196 mm.
TEST(View, SizesTheLettersTheEyeSees) {
    struct Row {
        std::string tilt, pan, apparent, offAxis;
    };
    for (const Row& r :
         {Row{"-30", "0", "5.196", "30.000"}, Row{"60", "", "3.000", "60.000"}, Row{"", "45", "6.000", "45.000"},
          Row{"60", "60", "3.000", "75.522"}, Row{"0", "0", "6.000", "0.000"}}) {
        const Press seen =
            press(Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::ViewTiltDeg, r.tilt}, {F::ViewPanDeg, r.pan}});
        ASSERT_EQ(seen.outcome, Outcome::Verdict) << r.tilt;
        EXPECT_EQ(seen.store.text(F::ApparentHeightMm), r.apparent) << r.tilt;
        EXPECT_EQ(seen.store.text(F::OffAxisDeg), r.offAxis) << r.tilt;
        const Press headOn = press(Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::LetterHT2, r.apparent}});
        expectSameOutputs(seen, headOn, r.tilt + "/" + r.pan);
    }
}

TEST(View, NoneGivenLeavesItsOutputsEmpty) {
    const Press p = press(Mode::Luminance, {{F::LetterLum, "10"}, {F::BackLum, "2"}});
    ASSERT_EQ(p.outcome, Outcome::Verdict);
    EXPECT_EQ(p.store.text(F::ApparentHeightMm), ""); // not the earlier press's 9.999
    EXPECT_EQ(p.store.text(F::OffAxisDeg), "");
}

struct Design {
    std::string label;
    Mode mode;
    Texts inputs;
};

void PrintTo(const Design& d, std::ostream* os) { *os << d.label; }

class MoreOblique : public testing::TestWithParam<Design> {};

TEST_P(MoreOblique, NeverRaisesTheMargin) {
    const Design& d = GetParam();
    for (const Field angle : {F::ViewTiltDeg, F::ViewPanDeg}) {
        double last = 0;
        double straight = 0;
        for (double deg = 0; deg < 90; deg += deg < 80 ? 5 : 2.5) {
            for (const double sign : {1.0, -1.0}) {
                Texts inputs = d.inputs;
                inputs.emplace_back(angle, kUs.plain(sign * deg));
                inputs.emplace_back(angle == F::ViewTiltDeg ? F::ViewPanDeg : F::ViewTiltDeg, "20");
                const Press p = press(d.mode, inputs);
                ASSERT_EQ(p.outcome, Outcome::Verdict) << fieldName(angle) << ' ' << sign * deg;
                if (deg > 0) {
                    EXPECT_LE(margin(p.store), last) << fieldName(angle) << ' ' << sign * deg;
                }
                straight = deg == 0 ? margin(p.store) : straight;
                last = sign < 0 ? margin(p.store) : last;
            }
        }
        if (angle == F::ViewTiltDeg) {
            EXPECT_LT(last, straight); // foreshortened letters are harder to read
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Designs, MoreOblique, testing::Values(
    Design{"WorkedCase", Mode::Illuminance, {{F::ILLLUX2, "1076"}}},
    Design{"Backlit", Mode::Luminance, {{F::LetterLumCDM, "500"}, {F::BackLumCDM, "10"}, {F::OffAxisFactor, "0.6"}}},
    Design{"DarkLetters", Mode::Source,
           {{F::SourceID2, "1000"}, {F::DistSinFT2, "10"}, {F::LetterTrans2, "0.1"}, {F::BackTrans2, "0.5"}}},
    Design{"SmallAndFar", Mode::Luminance, {{F::LetterLum, "1"}, {F::BackLum, "0.2"}, {F::Age, "70"},
                                            {F::LetterHT2, "2.5"}, {F::ViewDist2, "1200"}, {F::VeilCdm2, "3"}}}),
    [](const auto& param) { return param.param.label; });
// clang-format on

// The factor dims the display's own light before any veil is added: the
// same as giving letter and background luminances that much lower.
TEST(OffAxisFactor, EqualsTheDimmerLuminances) {
    for (const char* veil : {"", "20"}) {
        for (const double k : {1.0, 0.8, 0.5, 0.37, 0.1, 0.0}) {
            const std::string label = std::string(veil) + " x" + kUs.plain(k);
            const Press dimmed = press(Mode::Luminance, {{F::LetterLum, "14.594"},
                                                         {F::BackLum, "2.919"},
                                                         {F::VeilCdm2, veil},
                                                         {F::OffAxisFactor, kUs.plain(k)}});
            const Press lower =
                press(Mode::Luminance,
                      {{F::LetterLum, kUs.plain(k * 14.594)}, {F::BackLum, kUs.plain(k * 2.919)}, {F::VeilCdm2, veil}});
            expectSameOutputs(dimmed, lower, label);
        }
    }
}

TEST(View, RefusesWhatHasNoMeaning) {
    struct Row {
        Mode mode;
        Texts inputs;
        std::string message;
    };
    const std::string kAngle = " must lie strictly between -90 and 90.";
    const std::string kOnlyLuminance =
        "The Off-axis Luminance Factor applies only in luminance mode, where the display emits its own light.";
    const Texts lit{{F::ILLLUX2, "1076"}};
    const Texts glowing{{F::LetterLum, "10"}, {F::BackLum, "2"}};
    const auto with = [](Texts t, Field f, const char* text) {
        t.emplace_back(f, text);
        return t;
    };
    for (const Row& r : {
             Row{Mode::Illuminance, with(lit, F::ViewTiltDeg, "90"), "Viewing Tilt in deg" + kAngle},
             Row{Mode::Illuminance, with(lit, F::ViewTiltDeg, "-90"), "Viewing Tilt in deg" + kAngle},
             Row{Mode::Luminance, with(glowing, F::ViewPanDeg, "135"), "Viewing Pan in deg" + kAngle},
             Row{Mode::Luminance, with(glowing, F::ViewPanDeg, "steep"), "Viewing Pan in deg is not a number."},
             Row{Mode::Luminance, with(glowing, F::OffAxisFactor, "1.5"),
                 "Off-axis Luminance Factor must be between 0 and 1."},
             Row{Mode::Luminance, with(glowing, F::OffAxisFactor, "-0.1"),
                 "Off-axis Luminance Factor must be between 0 and 1."},
             Row{Mode::Illuminance, with(lit, F::OffAxisFactor, "0.5"), kOnlyLuminance},
             Row{Mode::Source,
                 {{F::SourceID2, "1000"}, {F::DistSinFT2, "10"}, {F::OffAxisFactor, "1"}},
                 kOnlyLuminance},
             Row{Mode::None, {{F::LogBack, "1.2"}, {F::ActualCon, "0.8"}, {F::OffAxisFactor, "0.5"}}, kOnlyLuminance},
         }) {
        const Press p = press(r.mode, r.inputs);
        EXPECT_EQ(p.outcome, Outcome::Fault) << r.message;
        ASSERT_EQ(p.shown.size(), 1U) << r.message;
        EXPECT_EQ(p.shown[0].text, r.message);
        for (const Field f : kOffWindowOutputs) {
            EXPECT_EQ(p.store.text(f), "") << r.message << ' ' << fieldName(f);
        }
    }
}

} // namespace
