// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"
#include "formats.h"
#include "presses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

using namespace vistrel;
using namespace vistrel::testing_presses;
using F = Field;

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
    ASSERT_EQ(expected.size(), kWindowFieldCount);
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
                         [](const auto& param) { return std::string(param.param.name); });

struct Scenario {
    std::string label;
    Mode mode;
    Texts inputs;
    Outcome outcome;
    Texts expected;
    std::string message; // empty: none may be shown
};

void PrintTo(const Scenario& c, std::ostream* os) { *os << c.label; }

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::string_view> split(std::string_view s, char at) {
    std::vector<std::string_view> parts;
    for (std::size_t next = 0;; s.remove_prefix(next + 1)) {
        next = s.find(at);
        parts.push_back(trimmed(s.substr(0, next)));
        if (next == std::string_view::npos) {
            return parts;
        }
    }
}

[[noreturn]] void badTable(const std::string& why) { throw std::runtime_error("scenarios.txt: " + why); }

// Field=text pairs; quotes keep blanks.
Texts textsFrom(std::string_view list) {
    Texts texts;
    for (const std::string_view pair : split(list, ';')) {
        const std::size_t equals = pair.find('=');
        if (pair.empty() || equals == std::string_view::npos) {
            continue;
        }
        const auto field = fieldFromName(trimmed(pair.substr(0, equals)));
        if (!field) {
            badTable("no field " + std::string(pair));
        }
        std::string_view text = trimmed(pair.substr(equals + 1));
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
            text = text.substr(1, text.size() - 2);
        }
        texts.emplace_back(*field, text);
    }
    return texts;
}

template <typename T, std::size_t N> T named(std::string_view name, const std::array<std::string_view, N>& names) {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) {
        badTable("unknown " + std::string(name));
    }
    return static_cast<T>(at - names.begin());
}

std::vector<Scenario> loadScenarios() {
    constexpr std::array<std::string_view, 4> kModes{"none", "source", "illuminance", "luminance"};
    constexpr std::array<std::string_view, 4> kOutcomes{"Verdict", "MissingField", "RatioTooSmall", "Fault"};
    std::ifstream in(VISTREL_SCENARIOS);
    if (!in) {
        badTable("cannot read " VISTREL_SCENARIOS);
    }
    std::vector<Scenario> scenarios;
    for (std::string line; std::getline(in, line);) {
        if (trimmed(line).empty() || line.front() == '#') {
            continue;
        }
        const auto cells = split(line, '|');
        if (cells.size() != 6) {
            badTable("not six cells: " + line);
        }
        scenarios.push_back({std::string(cells[0]), named<Mode>(cells[1], kModes), textsFrom(cells[2]),
                             named<Outcome>(cells[3], kOutcomes), textsFrom(cells[4]), std::string(cells[5])});
    }
    return scenarios;
}

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

// Stands in for the window: every text goes through the plain interface, so
// no shortcut of the memory store applies.
class WindowLikeStore final : public FieldStore {
  public:
    explicit WindowLikeStore(MemoryStore texts) : texts_(std::move(texts)) {}
    [[nodiscard]] std::string text(Field field) const override { return texts_.text(field); }
    void setText(Field field, std::string_view text) override { texts_.setText(field, text); }
    [[nodiscard]] bool isSelected(ModeOption option) const override { return texts_.isSelected(option); }

  private:
    MemoryStore texts_;
};

// The memory store skips texts nobody sees; what is left must be the same.
TEST_P(Calculate, EndsTheSameInAWindow) {
    const Scenario& c = GetParam();
    MemoryStore memory = storeFor(c.mode, c.inputs);
    WindowLikeStore window(memory);
    Recorder inMemory;
    Recorder inWindow;
    EXPECT_EQ(calculate(memory, NumberFormat::usEnglish(), inMemory),
              calculate(window, NumberFormat::usEnglish(), inWindow));
    for (const FieldInfo& f : kFields) {
        EXPECT_EQ(window.text(f.field), memory.text(f.field)) << f.name;
    }
    ASSERT_EQ(inWindow.shown.size(), inMemory.shown.size());
    if (!inWindow.shown.empty()) {
        EXPECT_EQ(inWindow.shown[0].text, inMemory.shown[0].text);
    }
}

// No daylight must leave every field the window has exactly as the window's
// own press leaves it, whether the daylight inputs are empty or typed as zero.
TEST_P(Calculate, EndsTheSameWithZeroDaylight) {
    const Scenario& c = GetParam();
    for (const std::string zero : {"", "0", "0.000"}) {
        MemoryStore window = storeFor(c.mode, c.inputs);
        MemoryStore everyField = storeFor(c.mode, c.inputs, Holds::EveryField);
        for (const Field f :
             {F::AmbientLux, F::DisplayReflectance, F::SpecularCdm2, F::SpecularReflectance, F::VeilCdm2}) {
            everyField.setText(f, zero);
        }
        Recorder inWindow;
        Recorder withDaylight;
        const Outcome outcome = calculate(window, NumberFormat::usEnglish(), inWindow);
        EXPECT_EQ(calculate(everyField, NumberFormat::usEnglish(), withDaylight), outcome);
        for (const FieldInfo& f : kFields) {
            if (f.window) {
                EXPECT_EQ(everyField.text(f.field), window.text(f.field)) << f.name << " with zeros '" << zero << "'";
            }
        }
        ASSERT_EQ(withDaylight.shown.size(), inWindow.shown.size());
        if (!inWindow.shown.empty()) {
            EXPECT_EQ(withDaylight.shown[0].text, inWindow.shown[0].text);
        }
        // Refusals and faults leave none of the stale daylight outputs behind.
        EXPECT_EQ(everyField.text(F::VeilFl), outcome == Outcome::Verdict ? "0.000" : "");
        if (outcome != Outcome::Verdict) {
            for (const Field f : kOffWindowOutputs) {
                EXPECT_EQ(everyField.text(f), "") << fieldName(f);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Calculate, testing::ValuesIn(loadScenarios()),
                         [](const auto& param) { return param.param.label; });

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

// Each level multiplies the threshold by its factor. Worked by hand for 1.076 lux
// (0.100 fc, LogBack log10(0.2 x 0.1) = -1.699), letters 6 mm at 750 mm, ratio 7
// (StrokeSize 27.501 / 7 = 3.929), age 40:
//   x = log2 3.929 = 1.974
//   a = 7.4935 - 6.97678 x + 0.544938 x^2 = -4.155
//   b = -0.55315 + 0.021675 x + 0.0003125 x^2 = -0.509
//   c = 0.007721 + 0.000558 x + 0.0000175 x^2 = 0.009
//   log threshold = (a + 10 b LogBack + c (10 LogBack)^2) / 10 = (-4.155 + 8.648 + 2.598) / 10 = 0.709
//   age factor = 0.1343982 x 40 - 0.3796391 - 0.0044422 x 40^2 + 0.0000550484 x 40^3 = 1.4118665
//   ThresholdCon = 10^0.709 x 1.4118665 x factor = 7.224264 x factor
TEST(EaseOfReading, EveryLevelScalesTheThresholdAsWorkedByHand) {
    struct Row {
        std::string_view level;
        std::string_view threshold;    // 7.224264 x the level's factor
        std::string_view logThreshold; // log10 of the threshold as shown
    };
    const std::array<Row, kEaseLevels.size()> rows{{
        {"50% confidence (Half the letters Readable)", "7.224", "0.859"}, // x 1
        {"90% confidence", "11.450", "1.059"},                            // x 1.584893 = 11.449686
        {"95% confidence", "12.847", "1.109"},                            // x 1.778279 = 12.846758
        {"99% confidence", "14.414", "1.159"},                            // x 1.995262 = 14.414300
        {"Readable with mental effort", "18.061", "1.257"},               // x 2.5 = 18.060661
        {"Easy to Read", "36.121", "1.558"},                              // x 5 = 36.121322
        {"Very Easy to Read", "72.243", "1.859"},                         // x 10 = 72.242644
        {"Attention Getting", "722.426", "2.859"},                        // x 100 = 722.426442
    }};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Row& row = rows[k];
        ASSERT_EQ(row.level, kEaseLevels[k].text);
        MemoryStore s = storeFor(Mode::Illuminance, {{F::ILLLUX2, "1.076"}, {F::EaseOfRead, std::string(row.level)}});
        Recorder r;
        ASSERT_EQ(calculate(s, NumberFormat::invariant(), r), Outcome::Verdict) << row.level;
        EXPECT_EQ(s.text(F::LogBack), "-1.699");
        EXPECT_EQ(s.text(F::StrokeSize), "3.929");
        EXPECT_EQ(s.text(F::ThresholdCon), row.threshold) << row.level;
        EXPECT_EQ(s.text(F::LogThresholdCon), row.logThreshold) << row.level;
    }
}

TEST(ClearFields, EmptiesTheCalculationScreenOnly) {
    MemoryStore s(Holds::EveryField);
    s.select(ModeOption::ILL2Op);
    for (const FieldInfo& f : kFields) {
        s.setText(f.field, "x");
    }
    clearFields(s);
    for (const FieldInfo& f : kFields) {
        EXPECT_EQ(s.text(f.field), f.field == F::FieldCorr || !f.window ? "x" : "") << f.name;
    }
    EXPECT_TRUE(s.isSelected(ModeOption::ILL2Op));
}

// A store reused for case after case must start each one as a new store does.
TEST(MemoryStore, ResetStartsAfreshInEveryField) {
    for (const Holds holds : {Holds::WindowFields, Holds::EveryField}) {
        MemoryStore used(holds);
        used.select(ModeOption::BackLum2Op);
        for (const FieldInfo& f : kFields) {
            if (f.window || holds == Holds::EveryField) {
                used.setText(f.field, std::string(40, 'x')); // longer than a string holds inline
            }
        }
        used.reset();
        const MemoryStore fresh(holds);
        for (const FieldInfo& f : kFields) {
            EXPECT_EQ(used.text(f.field), fresh.text(f.field)) << f.name;
        }
        for (const ModeOption o : {ModeOption::SourceID2Op, ModeOption::ILL2Op, ModeOption::BackLum2Op}) {
            EXPECT_FALSE(used.isSelected(o)) << modeOptionName(o);
        }
    }
}

} // namespace
