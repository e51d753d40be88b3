#include "calc/calculate.h"
#include "formats.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using namespace vistrel;
using F = Field;
using Texts = std::vector<std::pair<Field, std::string>>;

struct Shown {
    std::string text;
    MessageStyle style;
};

class Recorder final : public MessageSink {
  public:
    void showMessage(std::string_view text, MessageStyle style) override {
        shown.push_back({std::string(text), style});
    }
    std::vector<Shown> shown;
};

enum class Mode { None, Source, Illuminance, Luminance };

MemoryStore storeFor(Mode mode, const Texts& texts) {
    MemoryStore s;
    if (mode != Mode::None) {
        s.select(mode == Mode::Source        ? ModeOption::SourceID2Op
                 : mode == Mode::Illuminance ? ModeOption::ILL2Op
                                             : ModeOption::BackLum2Op);
    }
    // What an earlier press left behind: none of it may survive a new one.
    for (const Field f : kClearedSet) {
        s.setText(f, f == F::Result ? "Legible" : "9.999");
    }
    s.setText(F::LHSW, "7");
    const Texts common{{F::Age, "40"},           {F::LetterHT2, "6"},
                       {F::ViewDist2, "750"},    {F::EaseOfRead, "90% confidence"},
                       {F::LetterTrans2, "0.8"}, {F::BackTrans2, "0.2"}};
    for (const auto& [f, t] : common) {
        s.setText(f, t);
    }
    for (const auto& [f, t] : texts) {
        s.setText(f, t);
    }
    return s;
}

const Texts kWorkedInputs{{F::ILLLUX2, "1076"}};

TEST(WorkedCase, GivesEveryFieldExactly) {
    MemoryStore s = storeFor(Mode::Illuminance, kWorkedInputs);
    Recorder r;
    ASSERT_EQ(calculate(s, NumberFormat::usEnglish(), r), Outcome::Verdict);
    EXPECT_TRUE(r.shown.empty());
    // clang-format off
    const Texts expected{
        {F::SourceID2, ""}, {F::DistSinM2, ""}, {F::DistSinFT2, ""}, {F::DistSinIn2, ""}, {F::ILLLUX2, "1076"},
        {F::ILLFC2, "100.000"}, {F::BackLumCDM, ""}, {F::BackLum, ""}, {F::LetterLumCDM, ""}, {F::LetterLum, ""},
        {F::LetterTrans2, "0.8"}, {F::BackTrans2, "0.2"}, {F::Age, "40"}, {F::ViewDist2, "750"}, {F::LetterHT2, "6"},
        {F::LHSW, "7"}, {F::EaseOfRead, "90% confidence"}, {F::FieldCorr, "0.0"}, {F::LetterSize, "27.501"},
        {F::StrokeSize, "3.929"}, {F::ActualCon, "3.000"}, {F::LogBack, "1.301"}, {F::ThresholdCon, "0.266"},
        {F::LogThresholdCon, "-0.575"}, {F::LogActualCon, "0.477"}, {F::Result, "Legible"}};
    // clang-format on
    ASSERT_EQ(expected.size(), kFieldCount);
    for (const auto& [f, t] : expected) {
        EXPECT_EQ(s.text(f), t) << fieldName(f);
    }
}

class WorkedCaseInFormat : public testing::TestWithParam<testing_formats::NamedFormat> {};

// Every format must reach the same numbers and verdict as the point format.
TEST_P(WorkedCaseInFormat, ShowsTheSameNumbers) {
    const NumberText local(GetParam().make());
    const NumberText us(NumberFormat::usEnglish());
    MemoryStore reference = storeFor(Mode::Illuminance, kWorkedInputs);
    MemoryStore s = storeFor(Mode::Illuminance, {{F::ILLLUX2, local.plain(1076)},
                                                 {F::LetterTrans2, local.plain(0.8)},
                                                 {F::BackTrans2, local.plain(0.2)},
                                                 {F::FieldCorr, local.plain(0)}});
    Recorder r;
    ASSERT_EQ(calculate(reference, us, r), Outcome::Verdict);
    ASSERT_EQ(calculate(s, local, r), Outcome::Verdict);
    EXPECT_TRUE(r.shown.empty());
    for (const Field f : {F::ILLFC2, F::LetterSize, F::StrokeSize, F::ActualCon, F::LogBack, F::ThresholdCon,
                          F::LogThresholdCon, F::LogActualCon}) {
        const auto n = local.parse(s.text(f));
        ASSERT_TRUE(n.ok()) << fieldName(f) << ": " << s.text(f);
        EXPECT_EQ(n.value, us.parse(reference.text(f)).value) << fieldName(f);
        EXPECT_EQ(s.text(f), local.threeDecimals(n.value)) << fieldName(f);
    }
    EXPECT_EQ(s.text(F::Result), "Legible");
}

INSTANTIATE_TEST_SUITE_P(Formats, WorkedCaseInFormat, testing::ValuesIn(testing_formats::kAll),
                         [](const auto& info) { return std::string(info.param.name); });

struct Scenario {
    const char* label;
    Mode mode;
    Texts inputs;
    Outcome outcome;
    Texts expected;
    std::string message = {}; // empty: none may be shown
};

void PrintTo(const Scenario& c, std::ostream* os) { *os << c.label; }

class Calculate : public testing::TestWithParam<Scenario> {};

TEST_P(Calculate, EndsAsExpected) {
    const Scenario& c = GetParam();
    MemoryStore s = storeFor(c.mode, c.inputs);
    Recorder r;
    EXPECT_EQ(calculate(s, NumberFormat::usEnglish(), r), c.outcome);
    for (const auto& [f, t] : c.expected) {
        EXPECT_EQ(s.text(f), t) << fieldName(f);
    }
    if (c.message.empty()) {
        EXPECT_TRUE(r.shown.empty()) << r.shown.front().text;
        return;
    }
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, c.message);
    EXPECT_EQ(r.shown[0].style,
              c.outcome == Outcome::RatioTooSmall ? MessageStyle::Exclamation : MessageStyle::Critical);
    // Refusals empty the ratio with the outputs; faults keep the ratio typed.
    for (const Field f : kClearedSet) {
        const bool kept = f == F::LHSW && c.outcome == Outcome::Fault;
        EXPECT_EQ(s.text(f).empty(), !kept) << fieldName(f);
    }
}

const std::string kEnterDistance = "Enter the Distance of Source in m, ft or in.";
const std::string kEnterFeet = "Enter the Distance of Source in ft, or fill only one of m, ft and in.";
const std::string kBackgroundNotPositive = "The background luminance must be greater than zero.";
const std::string kContrastZero = "The actual contrast is zero: the letters do not stand out from their background.";
const std::string kDistanceZero = "The Distance of Source must not be zero.";
const std::string kUnknownEase = "Ease of reading must be one of the levels in its list.";
const std::string kThresholdNotPositive =
    "The threshold contrast is zero or less: check the Observer's Age and the Field Correction.";
const std::string kChooseMode =
    "Choose how the background luminance is given: source intensity, illuminance or luminance.";
const Texts kSource{{F::SourceID2, "1000"}, {F::BackTrans2, "0.5"}, {F::LetterTrans2, "0.1"}};

Texts with(Texts base, const Texts& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

const auto V = Outcome::Verdict;
const auto FAULT = Outcome::Fault;

INSTANTIATE_TEST_SUITE_P(
    UnitReconciliation, Calculate,
    testing::Values(Scenario{"FromFeet",
                             Mode::Source,
                             with(kSource, {{F::DistSinFT2, "10"}}),
                             V,
                             {{F::DistSinM2, "3.049"},
                              {F::DistSinIn2, "120.000"},
                              {F::DistSinFT2, "10.000"},
                              {F::LogBack, "0.699"},
                              {F::ActualCon, "0.800"}}},
                    Scenario{"FromInches",
                             Mode::Source,
                             with(kSource, {{F::DistSinIn2, "100"}}),
                             V,
                             {{F::DistSinM2, "2.540"}, {F::DistSinFT2, "8.333"}, {F::DistSinIn2, "100.000"}}},
                    Scenario{"FromMetres",
                             Mode::Source,
                             with(kSource, {{F::DistSinM2, "1"}}),
                             V,
                             {{F::DistSinIn2, "39.370"}, {F::DistSinFT2, "3.280"}, {F::DistSinM2, "1.000"}}},
                    Scenario{"TwoDistancesLeaveFeetEmpty",
                             Mode::Source,
                             with(kSource, {{F::DistSinM2, "1"}, {F::DistSinIn2, "40"}}),
                             FAULT,
                             {{F::DistSinM2, "1"}, {F::DistSinIn2, "40"}, {F::DistSinFT2, ""}},
                             kEnterFeet},
                    Scenario{"FeetWinsOverMetres",
                             Mode::Source,
                             with(kSource, {{F::DistSinFT2, "3.2"}, {F::DistSinM2, "7"}}),
                             V,
                             {{F::DistSinFT2, "3.2"}, {F::DistSinM2, "7"}, {F::DistSinIn2, ""}, {F::LogBack, "1.689"}}},
                    Scenario{"TypedFeetRewritten",
                             Mode::Source,
                             with(kSource, {{F::DistSinFT2, "10.0004"}}),
                             V,
                             {{F::DistSinFT2, "10.000"}, {F::LogBack, "0.699"}}},
                    Scenario{"NoDistance", Mode::Source, kSource, FAULT, {{F::DistSinM2, ""}}, kEnterDistance},
                    Scenario{"FootcandlesFromLux",
                             Mode::Illuminance,
                             {{F::ILLLUX2, "1000"}},
                             V,
                             {{F::ILLFC2, "92.937"}, {F::ILLLUX2, "1000"}}},
                    Scenario{"LuxFromFootcandlesGrouped",
                             Mode::Illuminance,
                             {{F::ILLFC2, "100"}},
                             V,
                             {{F::ILLLUX2, "1,076.000"}, {F::ILLFC2, "100"}, {F::LogBack, "1.301"}}},
                    Scenario{"NoIlluminance", Mode::Illuminance, {}, FAULT, {}, "Enter the Illuminance in LUX or FC."},
                    Scenario{"LuminancesFromCandela",
                             Mode::Luminance,
                             {{F::BackLumCDM, "100"}, {F::LetterLum, "10"}},
                             V,
                             {{F::BackLum, "29.189"},
                              {F::LetterLumCDM, "34.260"},
                              {F::BackLumCDM, "100"},
                              {F::ActualCon, "0.657"},
                              {F::LogBack, "1.465"}}},
                    Scenario{"TinyBackgroundReadsAsZero",
                             Mode::Luminance,
                             {{F::BackLumCDM, "0.001"}, {F::LetterLum, "10"}},
                             FAULT,
                             {{F::BackLum, "0.000"}, {F::LetterLumCDM, "34.260"}},
                             kBackgroundNotPositive},
                    Scenario{"NoLetterLuminance",
                             Mode::Luminance,
                             {{F::BackLum, "2"}},
                             FAULT,
                             {},
                             "Enter the Letter Luminance in cd/m^2 or fL."}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    LuminanceAndContrast, Calculate,
    testing::Values(
        Scenario{"SignDropped",
                 Mode::Source,
                 with(kSource, {{F::DistSinFT2, "10"}, {F::LetterTrans2, "0.9"}}),
                 V,
                 {{F::ActualCon, "0.800"}, {F::LogBack, "0.699"}}},
        Scenario{
            "Direct",
            Mode::Luminance,
            {{F::LetterLum, "10"}, {F::BackLum, "2"}},
            V,
            {{F::ActualCon, "4.000"}, {F::LogBack, "0.301"}, {F::LetterLumCDM, "34.260"}, {F::BackLumCDM, "6.852"}}},
        Scenario{
            "OneFootlambert", Mode::Luminance, {{F::LetterLum, "2"}, {F::BackLum, "1"}}, V, {{F::LogBack, "0.000"}}},
        Scenario{"DimBackground",
                 Mode::Luminance,
                 {{F::LetterLum, "2"}, {F::BackLum, "0.5"}},
                 V,
                 {{F::LogBack, "-0.301"}, {F::ActualCon, "3.000"}}},
        Scenario{"EqualFactors",
                 Mode::Illuminance,
                 {{F::ILLLUX2, "1076"}, {F::LetterTrans2, "0.2"}},
                 FAULT,
                 {},
                 kContrastZero},
        Scenario{"ZeroBackFactor",
                 Mode::Illuminance,
                 {{F::ILLLUX2, "1076"}, {F::BackTrans2, "0"}},
                 FAULT,
                 {{F::ILLFC2, "100.000"}},
                 kBackgroundNotPositive},
        Scenario{"ZeroSourceDistance",
                 Mode::Source,
                 with(kSource, {{F::DistSinFT2, "0"}}),
                 FAULT,
                 {{F::DistSinM2, "0.000"}},
                 kDistanceZero},
        Scenario{"ZeroIntensityAndDistance",
                 Mode::Source,
                 with(kSource, {{F::DistSinFT2, "0"}, {F::SourceID2, "0"}}),
                 FAULT,
                 {},
                 kDistanceZero},
        Scenario{"NoModeNoLuminance", Mode::None, {{F::LogBack, ""}, {F::ActualCon, ""}}, FAULT, {}, kChooseMode},
        Scenario{"DirectNeedsNoFactors",
                 Mode::Luminance,
                 {{F::LetterLum, "10"}, {F::BackLum, "2"}, {F::LetterTrans2, ""}, {F::BackTrans2, ""}},
                 V,
                 {{F::Result, "Legible"}}}),
    [](const auto& info) { return std::string(info.param.label); });

const Texts kNoMode{{F::LogBack, "1.200"}, {F::ActualCon, "0.800"}};

INSTANTIATE_TEST_SUITE_P(
    SizeThresholdVerdict, Calculate,
    testing::Values(
        Scenario{"RatioFour", Mode::Illuminance, with(kWorkedInputs, {{F::LHSW, "4"}}), V, {{F::StrokeSize, "3.438"}}},
        Scenario{"RatioFive", Mode::Illuminance, with(kWorkedInputs, {{F::LHSW, "5"}}), V, {{F::StrokeSize, "5.500"}}},
        Scenario{"RatioFivePointZero",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "5.0"}}),
                 V,
                 {{F::StrokeSize, "5.500"}}},
        Scenario{"RatioJustAboveThree",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "3.001"}}),
                 V,
                 {{F::StrokeSize, "0.005"}}},
        Scenario{"RatioThree",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "3"}}),
                 Outcome::RatioTooSmall,
                 {{F::ILLFC2, "100.000"}, {F::ILLLUX2, "1076"}},
                 std::string(kRatioMessage)},
        Scenario{"RatioZero",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "0"}}),
                 Outcome::RatioTooSmall,
                 {},
                 std::string(kRatioMessage)},
        Scenario{"RatioNegative",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "-2"}}),
                 Outcome::RatioTooSmall,
                 {},
                 std::string(kRatioMessage)},
        Scenario{"ThresholdExample",
                 Mode::None,
                 kNoMode,
                 V,
                 {{F::StrokeSize, "3.929"},
                  {F::ThresholdCon, "0.284"},
                  {F::LogThresholdCon, "-0.547"},
                  {F::LogActualCon, "-0.097"},
                  {F::Result, "Legible"}}},
        Scenario{"FieldCorrectionRaisesTenfold",
                 Mode::None,
                 with(kNoMode, {{F::FieldCorr, "1.0"}}),
                 V,
                 {{F::ThresholdCon, "2.837"}, {F::LogThresholdCon, "0.453"}, {F::Result, "Not Legible"}}},
        Scenario{"ContrastJustAbove",
                 Mode::None,
                 {{F::LogBack, "1.200"}, {F::ActualCon, "0.285"}},
                 V,
                 {{F::Result, "Legible"}}},
        Scenario{"ContrastJustBelow",
                 Mode::None,
                 {{F::LogBack, "1.200"}, {F::ActualCon, "0.283"}},
                 V,
                 {{F::Result, "Not Legible"}}},
        Scenario{"EqualContrastsNotLegible",
                 Mode::None,
                 {{F::LogBack, "1.200"}, {F::ActualCon, "0.284"}, {F::Result, "Legible"}},
                 V,
                 {{F::Result, "Not Legible"}}},
        Scenario{"AttentionGetting",
                 Mode::None,
                 with(kNoMode, {{F::EaseOfRead, "Attention Getting"}, {F::FieldCorr, "-2"}}),
                 V,
                 {{F::ThresholdCon, "0.179"}}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(RequiredFields, Calculate,
                         testing::Values(Scenario{"MissingBackFactor",
                                                  Mode::Illuminance,
                                                  {{F::ILLLUX2, "1076"}, {F::BackTrans2, ""}},
                                                  Outcome::MissingField,
                                                  {{F::ILLLUX2, "1076"}, {F::ILLFC2, ""}, {F::Age, "40"}},
                                                  std::string(kFillAllMessage)},
                                         Scenario{"SeveralMissingOneMessage",
                                                  Mode::Luminance,
                                                  {{F::Age, ""}, {F::LetterHT2, ""}, {F::EaseOfRead, ""}},
                                                  Outcome::MissingField,
                                                  {{F::ViewDist2, "750"}},
                                                  std::string(kFillAllMessage)},
                                         Scenario{"NoModeMissingFactor",
                                                  Mode::None,
                                                  with(kNoMode, {{F::LetterTrans2, ""}}),
                                                  Outcome::MissingField,
                                                  {},
                                                  std::string(kFillAllMessage)}),
                         [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Faults, Calculate,
    testing::Values(
        Scenario{"AgeBlanks",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::Age, "   "}}),
                 FAULT,
                 {{F::ILLFC2, "100.000"}},
                 "Enter the Observer's Age."},
        Scenario{"AgeWords",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::Age, "forty"}}),
                 FAULT,
                 {},
                 "Observer's Age is not a number."},
        Scenario{"AgeTooLarge",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::Age, "1e200"}}),
                 FAULT,
                 {},
                 "Observer's Age is too large."},
        Scenario{
            "AgeTooYoung", Mode::Illuminance, with(kWorkedInputs, {{F::Age, "2"}}), FAULT, {}, kThresholdNotPositive},
        Scenario{"ViewingDistanceZero",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::ViewDist2, "0"}}),
                 FAULT,
                 {},
                 "Viewing Distance must not be zero."},
        Scenario{"LetterHeightZero",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LetterHT2, "0"}}),
                 FAULT,
                 {},
                 "The Stroke Size must be greater than zero: check the Letter HT and the Viewing Distance."},
        Scenario{"LetterHeightOverflows",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LetterHT2, "1e400"}}),
                 FAULT,
                 {},
                 "Letter HT in mm is too large."},
        Scenario{"FootcandlesOverflowLux",
                 Mode::Illuminance,
                 {{F::ILLFC2, "1e308"}},
                 FAULT,
                 {{F::ILLLUX2, ""}},
                 "Illuminance in FC is too large."},
        Scenario{"RatioNotANumber",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::LHSW, "7:1"}}),
                 FAULT,
                 {{F::LHSW, "7:1"}},
                 "Letter HT to Stroke Width Ratio is not a number."},
        Scenario{"EaseInOtherCase",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::EaseOfRead, "90% Confidence"}}),
                 FAULT,
                 {},
                 kUnknownEase},
        Scenario{"EaseTrailingBlank",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::EaseOfRead, "90% confidence "}}),
                 FAULT,
                 {},
                 kUnknownEase},
        Scenario{"FieldCorrectionEmpty",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::FieldCorr, ""}}),
                 FAULT,
                 {},
                 "Enter the Field Correction. Press Back and enter it in log units, for example 0.0."},
        Scenario{"GroupedTextInWrongPlace",
                 Mode::Illuminance,
                 with(kWorkedInputs, {{F::ViewDist2, "7,50"}}),
                 FAULT,
                 {},
                 "Viewing Distance in mm is not a number."}),
    [](const auto& info) { return std::string(info.param.label); });

struct AgeCase {
    double age;
    double factor;
};

void PrintTo(const AgeCase& c, std::ostream* os) { *os << "age " << c.age; }

class AgeFactor : public testing::TestWithParam<AgeCase> {};

TEST_P(AgeFactor, MatchesTheModelTable) { EXPECT_NEAR(ageFactor(GetParam().age), GetParam().factor, 5e-8); }

INSTANTIATE_TEST_SUITE_P(Ages, AgeFactor,
                         testing::Values(AgeCase{20, 0.9718321}, AgeCase{25, 1.0640721}, AgeCase{30, 1.1406337},
                                         AgeCase{40, 1.4118665}, AgeCase{50, 2.1158209}, AgeCase{60, 3.5827873},
                                         AgeCase{70, 6.1430561}));

TEST(ClearFields, EmptiesTheCalculationScreenOnly) {
    MemoryStore s;
    s.select(ModeOption::ILL2Op);
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        s.setText(static_cast<Field>(k), "x");
    }
    clearFields(s);
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        const auto f = static_cast<Field>(k);
        EXPECT_EQ(s.text(f), f == F::FieldCorr ? "x" : "") << fieldName(f);
    }
    EXPECT_TRUE(s.isSelected(ModeOption::ILL2Op));
}

} // namespace
