// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"
#include "presses.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>

namespace {

using namespace vistrel;
using namespace vistrel::testing_presses;
using F = Field;

const NumberText kUs(NumberFormat::usEnglish());

MemoryStore daylightStore(Mode mode, const Texts& texts) { return storeFor(mode, texts, Holds::EveryField); }

double number(const MemoryStore& s, Field f) { return kUs.parse(s.text(f)).value; }

struct VeilCase {
    std::string label;
    Mode mode;
    Texts inputs;
    double veilByHand; // fL
    // Expected texts: ActualCon, LogBack, ContrastRatio, Modulation, Polarity, Notes.
    std::array<std::string, 6> expected;
};

void PrintTo(const VeilCase& c, std::ostream* os) { *os << c.label; }

class Veil : public testing::TestWithParam<VeilCase> {};

TEST_P(Veil, AddsToBothLuminances) {
    const VeilCase& c = GetParam();
    MemoryStore s = daylightStore(c.mode, c.inputs);
    Recorder r;
    ASSERT_EQ(calculate(s, NumberFormat::usEnglish(), r), Outcome::Verdict) << r.shown.front().text;
    EXPECT_TRUE(r.shown.empty());
    EXPECT_EQ(s.text(F::VeilFl), kUs.threeDecimals(c.veilByHand));
    const std::array<Field, 6> shown{F::ActualCon, F::LogBack, F::ContrastRatio, F::Modulation, F::Polarity, F::Notes};
    for (std::size_t k = 0; k < shown.size(); ++k) {
        EXPECT_EQ(s.text(shown[k]), c.expected[k]) << fieldName(shown[k]);
    }
}

const std::string kInfinite(kInfiniteRatioNote);

// Luminances in fL: 500 and 10 cd/m^2 are 145.943 and 2.919; 0.8 and 0.2 of
// 100 fc are 80 and 20; 0.1 and 0.5 of 1000 cd at 10 ft are 1 and 5.
// clang-format off
INSTANTIATE_TEST_SUITE_P(ByHand, Veil, testing::Values(
    // 0.02 x 45,000 lux: about 286 cd/m^2, the contrast ratio falls from 50 to 2.65.
    VeilCase{"SunOnBacklitDisplay", Mode::Luminance,
             {{F::LetterLumCDM, "500"}, {F::BackLumCDM, "10"}, {F::AmbientLux, "45000"}, {F::DisplayReflectance, "0.02"}},
             0.02 * 45000 / 10.76, {"1.652", "1.937", "2.652", "0.452", "positive", ""}},
    VeilCase{"SkyMirrored", Mode::Illuminance,
             {{F::ILLLUX2, "1076"}, {F::SpecularCdm2, "20000"}, {F::SpecularReflectance, "0.01"}},
             20000 * 0.01 / 3.426, {"0.766", "1.894", "1.766", "0.277", "positive", ""}},
    VeilCase{"AllThreeAddUp", Mode::Source,
             {{F::SourceID2, "1000"}, {F::DistSinFT2, "10"}, {F::LetterTrans2, "0.1"}, {F::BackTrans2, "0.5"},
              {F::AmbientLux, "1076"}, {F::DisplayReflectance, "0.04"}, {F::SpecularCdm2, "3426"},
              {F::SpecularReflectance, "0.002"}, {F::VeilCdm2, "34.26"}},
             4 + 2 + 10, {"0.190", "1.322", "1.235", "0.105", "negative", ""}},
    // Without the veil a black background has no contrast to compute.
    VeilCase{"LiftsABlackBackground", Mode::Luminance,
             {{F::LetterLum, "50"}, {F::BackLum, "0"}, {F::VeilCdm2, "3.426"}},
             1, {"50.000", "0.000", "51.000", "0.962", "positive", ""}},
    VeilCase{"BlackLettersInTheDark", Mode::Luminance, {{F::LetterLum, "0"}, {F::BackLum, "10"}},
             0, {"1.000", "1.000", "", "1.000", "negative", kInfinite}},
    // |0.051 - 0.048| / 0.048 shows as 0.062, |5.1 - 4.8| / 4.8 as 0.063: a
    // veil too small to show must leave the window's own formula to decide.
    VeilCase{"VeilTooSmallToShow", Mode::Illuminance,
             {{F::ILLFC2, "100"}, {F::LetterTrans2, "0.051"}, {F::BackTrans2, "0.048"}, {F::AmbientLux, "0.02"},
              {F::DisplayReflectance, "0.2"}},
             0.2 * 0.02 / 10.76, {"0.062", "0.681", "1.063", "0.030", "positive", ""}}),
    [](const auto& param) { return param.param.label; });
// clang-format on

// Margin as the command line reports it: log actual minus log threshold.
double margin(const MemoryStore& s) { return number(s, F::LogActualCon) - number(s, F::LogThresholdCon); }

struct Design {
    std::string label;
    Mode mode;
    Texts inputs;
};

void PrintTo(const Design& d, std::ostream* os) { *os << d.label; }

class MoreDaylight : public testing::TestWithParam<Design> {};

// The model's threshold falls faster than the contrast only on backgrounds
// below about 0.006 fL; every design here is far brighter.
TEST_P(MoreDaylight, NeverRaisesTheContrastAndLowersTheMargin) {
    const Design& d = GetParam();
    double lastContrast = 0;
    double lastRatio = 0;
    double lastMargin = 0;
    double darkMargin = 0;
    for (double lux = 0; lux <= 200000; lux = lux == 0 ? 50 : lux * 2) {
        Texts inputs = d.inputs;
        inputs.emplace_back(F::AmbientLux, kUs.plain(lux));
        inputs.emplace_back(F::DisplayReflectance, "0.02");
        MemoryStore s = daylightStore(d.mode, inputs);
        Recorder r;
        ASSERT_EQ(calculate(s, NumberFormat::usEnglish(), r), Outcome::Verdict) << lux;
        if (lux > 0) {
            EXPECT_LE(number(s, F::ActualCon), lastContrast) << lux;
            EXPECT_LE(number(s, F::ContrastRatio), lastRatio) << lux;
            EXPECT_LE(margin(s), lastMargin) << lux; // three decimals hide the smallest veils
        }
        lastContrast = number(s, F::ActualCon);
        lastRatio = number(s, F::ContrastRatio);
        lastMargin = margin(s);
        darkMargin = lux == 0 ? lastMargin : darkMargin;
    }
    EXPECT_LT(lastMargin, darkMargin);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Designs, MoreDaylight, testing::Values(
    Design{"WorkedCase", Mode::Illuminance, {{F::ILLLUX2, "1076"}}},
    Design{"Backlit", Mode::Luminance, {{F::LetterLumCDM, "500"}, {F::BackLumCDM, "10"}}},
    Design{"DarkLetters", Mode::Source,
           {{F::SourceID2, "1000"}, {F::DistSinFT2, "10"}, {F::LetterTrans2, "0.1"}, {F::BackTrans2, "0.5"}}},
    Design{"DimAndOld", Mode::Luminance, {{F::LetterLum, "1"}, {F::BackLum, "0.2"}, {F::Age, "70"}}}),
    [](const auto& param) { return param.param.label; });
// clang-format on

struct FocusCase {
    std::string age;
    std::string viewingMm;
    std::string nearPoint; // mm, empty beyond about 61.7 years
    std::string notes;
};

class NearPoint : public testing::TestWithParam<FocusCase> {};

// 1000 / (18.5 - 0.3 x age) mm, the amplitude never below the 1 D that old
// eyes keep; a warning only, the verdict is the window's.
TEST_P(NearPoint, WarnsWhenTheDisplayIsNearer) {
    const FocusCase& c = GetParam();
    const Texts inputs{{F::ILLLUX2, "1076"}, {F::Age, c.age}, {F::ViewDist2, c.viewingMm}};
    MemoryStore s = daylightStore(Mode::Illuminance, inputs);
    MemoryStore window = storeFor(Mode::Illuminance, inputs);
    Recorder r;
    ASSERT_EQ(calculate(s, NumberFormat::usEnglish(), r), Outcome::Verdict);
    ASSERT_EQ(calculate(window, NumberFormat::usEnglish(), r), Outcome::Verdict);
    EXPECT_EQ(s.text(F::NearPointMm), c.nearPoint);
    EXPECT_EQ(s.text(F::Notes), c.notes);
    EXPECT_EQ(s.text(F::Result), window.text(F::Result));
}

const std::string kWarn(kNearCorrectionNote);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Ages, NearPoint, testing::Values(
    FocusCase{"20", "750", "80.000", ""}, FocusCase{"20", "79", "80.000", kWarn},
    FocusCase{"40", "750", "153.846", ""}, FocusCase{"40", "150", "153.846", kWarn},
    FocusCase{"55", "750", "500.000", ""}, FocusCase{"55", "499", "500.000", kWarn},
    FocusCase{"58", "750", "909.091", kWarn}, FocusCase{"60", "1000", "1,000.000", ""},
    FocusCase{"61.6", "750", "1,000.000", kWarn}, FocusCase{"61.7", "750", "1,000.000", kWarn},
    FocusCase{"62", "1500", "1,000.000", ""}, FocusCase{"75", "750", "1,000.000", kWarn}));
// clang-format on

struct BadLight {
    std::string label;
    Mode mode;
    Texts inputs;
    std::string message;
};

void PrintTo(const BadLight& c, std::ostream* os) { *os << c.label; }

class RefusedLight : public testing::TestWithParam<BadLight> {};

TEST_P(RefusedLight, FaultsAndLeavesNoOutput) {
    const BadLight& c = GetParam();
    MemoryStore s = daylightStore(c.mode, c.inputs);
    Recorder r;
    EXPECT_EQ(calculate(s, NumberFormat::usEnglish(), r), Outcome::Fault);
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, c.message);
    for (const Field f : kClearedOutputs) {
        EXPECT_EQ(s.text(f), "") << fieldName(f);
    }
    for (const Field f : kOffWindowOutputs) {
        EXPECT_EQ(s.text(f), "") << fieldName(f);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Inputs, RefusedLight, testing::Values(
    BadLight{"NegativeLux", Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::AmbientLux, "-1"}},
             "Ambient Illuminance in lux must not be negative."},
    BadLight{"ReflectanceAboveOne", Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::DisplayReflectance, "1.5"}},
             "Display Reflectance must be between 0 and 1."},
    BadLight{"NegativeSpecular", Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::SpecularReflectance, "-0.1"}},
             "Specular Reflectance must be between 0 and 1."},
    BadLight{"VeilInWords", Mode::Illuminance, {{F::ILLLUX2, "1076"}, {F::VeilCdm2, "bright"}},
             "Further Veiling Luminance in cd/m^2 is not a number."},
    BadLight{"VeilWithoutMode", Mode::None, {{F::LogBack, "1.200"}, {F::ActualCon, "0.800"}, {F::VeilCdm2, "100"}},
             "Choose how the background luminance is given: source intensity, illuminance or luminance."},
    BadLight{"NegativeBackground", Mode::Luminance, {{F::LetterLum, "5"}, {F::BackLum, "-1"}, {F::VeilCdm2, "100"}},
             "The background luminance must be greater than zero."}),
    [](const auto& param) { return param.param.label; });
// clang-format on

TEST(MemoryStore, RefusesAFieldItDoesNotHold) {
    MemoryStore window;
    EXPECT_THROW(window.setText(F::AmbientLux, "45000"), std::logic_error);
    EXPECT_EQ(window.text(F::AmbientLux), "");
}

} // namespace
