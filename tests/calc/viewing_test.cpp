// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"
#include "presses.h"

#include <gtest/gtest.h>

namespace {

using namespace vistrel;
using namespace vistrel::testing_presses;
using F = Field;

const NumberText kUs(NumberFormat::usEnglish());
const Texts kLit{{F::ILLLUX2, "1076"}};
const Texts kGlowing{{F::LetterLum, "14.594"}, {F::BackLum, "2.919"}};

struct Press {
    MemoryStore store;
    Outcome outcome;
    std::string message;
};

Press press(Mode mode, Texts texts, const Texts& more = {}) {
    texts.insert(texts.end(), more.begin(), more.end());
    Press p{storeFor(mode, texts, Holds::EveryField), Outcome::Fault, {}};
    Recorder r;
    p.outcome = calculate(p.store, NumberFormat::usEnglish(), r);
    p.message = r.shown.empty() ? "" : r.shown[0].text;
    return p;
}

// The message and every output but the two the view adds.
void expectSameOutputs(const Press& a, const Press& b, const std::string& label) {
    EXPECT_EQ(a.message, b.message) << label;
    for (const FieldInfo& f : kFields) {
        if (f.role == Role::Output && f.field != F::ApparentHeightMm && f.field != F::OffAxisDeg) {
            EXPECT_EQ(a.store.text(f.field), b.store.text(f.field)) << label << ' ' << f.name;
        }
    }
}

// A display leaning back 30 degrees from an eye 750 mm in front shows 6 mm
// letters 6 cos(30) = 5.196 mm tall; the letter size is that height's, as shown.
TEST(View, SizesTheLettersTheEyeSees) {
    const std::vector<std::array<std::string, 4>> rows{{"-30", "0", "5.196", "30.000"},
                                                       {"60", "", "3.000", "60.000"},
                                                       {"", "45", "6.000", "45.000"},
                                                       {"60", "60", "3.000", "75.522"},
                                                       {"0", "0", "6.000", "0.000"}};
    for (const auto& [tilt, pan, apparent, offAxis] : rows) {
        const Press seen = press(Mode::Illuminance, kLit, {{F::ViewTiltDeg, tilt}, {F::ViewPanDeg, pan}});
        EXPECT_EQ(seen.store.text(F::ApparentHeightMm), apparent) << tilt;
        EXPECT_EQ(seen.store.text(F::OffAxisDeg), offAxis) << tilt;
        expectSameOutputs(seen, press(Mode::Illuminance, kLit, {{F::LetterHT2, apparent}}), tilt + "/" + pan);
    }
    const Press none = press(Mode::Illuminance, kLit); // not the earlier press's 9.999
    EXPECT_EQ(none.store.text(F::ApparentHeightMm) + none.store.text(F::OffAxisDeg), "");
}

double margin(const MemoryStore& s) {
    return kUs.parse(s.text(F::LogActualCon)).value - kUs.parse(s.text(F::LogThresholdCon)).value;
}

TEST(View, MoreObliqueNeverRaisesTheMargin) {
    const std::vector<std::pair<Mode, Texts>> designs{
        {Mode::Illuminance, kLit},
        {Mode::Luminance, {{F::LetterLumCDM, "500"}, {F::BackLumCDM, "10"}, {F::OffAxisFactor, "0.6"}}},
        {Mode::Luminance, {{F::LetterLum, "1"}, {F::BackLum, "0.2"}, {F::LetterHT2, "2.5"}, {F::VeilCdm2, "3"}}}};
    for (const auto& [mode, texts] : designs) {
        for (const auto& [angle, other] : {std::pair{F::ViewTiltDeg, F::ViewPanDeg}, {F::ViewPanDeg, F::ViewTiltDeg}}) {
            const double straight = margin(press(mode, texts, {{angle, "0"}, {other, "20"}}).store);
            double last = straight;
            int k = 0;
            for (double deg = 5; deg < 90; deg += deg < 85 ? 5 : 2.5, ++k) {
                const double at = k % 2 == 0 ? deg : -deg;
                const Press p = press(mode, texts, {{angle, kUs.plain(at)}, {other, "20"}});
                ASSERT_EQ(p.outcome, Outcome::Verdict) << p.message;
                EXPECT_LE(margin(p.store), last) << fieldName(angle) << ' ' << at;
                last = margin(p.store);
            }
            EXPECT_TRUE(angle == F::ViewPanDeg || last < straight); // foreshortened letters read worse
        }
    }
}

// The factor dims the display's own light before any veil is added: the same
// as giving both luminances that much lower.
TEST(View, OffAxisFactorEqualsDimmerLuminances) {
    for (const char* veil : {"", "20"}) {
        for (const double k : {1.0, 0.8, 0.5, 0.37, 0.1, 0.0}) {
            const Press dimmed =
                press(Mode::Luminance, kGlowing, {{F::VeilCdm2, veil}, {F::OffAxisFactor, kUs.plain(k)}});
            const Press lower =
                press(Mode::Luminance,
                      {{F::LetterLum, kUs.plain(k * 14.594)}, {F::BackLum, kUs.plain(k * 2.919)}, {F::VeilCdm2, veil}});
            expectSameOutputs(dimmed, lower, std::string(veil) + " x" + kUs.plain(k));
        }
    }
}

TEST(View, RefusesWhatHasNoMeaning) {
    const std::string angle = " in deg must lie strictly between -90 and 90.";
    const std::string factor = "Off-axis Luminance Factor must be between 0 and 1.";
    struct Bad {
        Mode mode;
        Field field;
        const char* text;
        std::string message;
    };
    for (const Bad& b :
         {Bad{Mode::Illuminance, F::ViewTiltDeg, "90", "Viewing Tilt" + angle},
          Bad{Mode::Luminance, F::ViewPanDeg, "-90", "Viewing Pan" + angle},
          Bad{Mode::Luminance, F::OffAxisFactor, "1.5", factor}, Bad{Mode::Luminance, F::OffAxisFactor, "-0.1", factor},
          Bad{Mode::Illuminance, F::OffAxisFactor, "0.5",
              "The Off-axis Luminance Factor applies only in luminance mode, where the display emits "
              "its own light."}}) {
        const Press p = press(b.mode, b.mode == Mode::Luminance ? kGlowing : kLit, {{b.field, b.text}});
        EXPECT_EQ(p.message, b.message);
        EXPECT_EQ(p.store.text(F::OffAxisDeg), "") << b.message;
    }
}

} // namespace
