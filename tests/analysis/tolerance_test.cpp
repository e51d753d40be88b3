// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_tolerance.h"
#include "analysis/tolerance.h"
#include "case_texts.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace vistrel::cli;

struct ParseCase {
    std::string_view text;
    SpreadForm form;
    std::vector<double> numbers;
};

class ParseGood : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseGood, ReadsEveryForm) {
    const auto result = parseTolerance(GetParam().text);
    ASSERT_TRUE(result) << result.error().text();
    const auto& spec = *result;
    EXPECT_EQ(spec.form, GetParam().form);
    EXPECT_EQ(spec.numbers, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(Forms, ParseGood,
                         testing::Values(ParseCase{"age=±5", SpreadForm::PlusMinus, {5}},
                                         ParseCase{"age=+-5", SpreadForm::PlusMinus, {5}},
                                         ParseCase{"illuminance_lux=±2.5%", SpreadForm::PlusMinusPercent, {2.5}},
                                         ParseCase{"age=normal:12", SpreadForm::NormalSd, {12}},
                                         ParseCase{"age=normal:45:12", SpreadForm::NormalMeanSd, {45, 12}},
                                         ParseCase{"age=uniform:-1:1e1", SpreadForm::Uniform, {-1, 10}},
                                         ParseCase{"ratio=triangular:6:7:8", SpreadForm::Triangular, {6, 7, 8}},
                                         // read as the command line reads numbers
                                         ParseCase{"age=uniform:+1:.5e1", SpreadForm::Uniform, {1, 5}},
                                         ParseCase{"age=uniform:\u22121:1", SpreadForm::Uniform, {-1, 1}},
                                         ParseCase{"age=normal: 12", SpreadForm::NormalSd, {12}}));

class ParseBad : public testing::TestWithParam<std::pair<std::string_view, std::string_view>> {};

TEST_P(ParseBad, RefusesWithAReason) {
    const auto result = parseTolerance(GetParam().first);
    ASSERT_FALSE(result) << GetParam().first;
    EXPECT_NE(result.error().message.find(GetParam().second), std::string::npos) << result.error().message;
}

INSTANTIATE_TEST_SUITE_P(Refusals, ParseBad,
                         testing::Values(std::pair{"age", "expected NAME=SPREAD"}, std::pair{"=±5", "NAME=SPREAD"},
                                         std::pair{"age=5", "expected ±X"}, std::pair{"age=±", "'' is not a number"},
                                         std::pair{"age=±0x10", "not a number"}, std::pair{"age=±5abc", "not a number"},
                                         std::pair{"age=±inf", "not a number"}, std::pair{"age=±+5", "not a number"},
                                         std::pair{"age=±-5", "must not be negative"},
                                         std::pair{"age=normal:-1", "standard deviation"},
                                         std::pair{"age=normal:1:2:3", "expected ±X"},
                                         std::pair{"age=uniform:5:1", "LO must not exceed HI"},
                                         std::pair{"age=triangular:1:9:5", "LO <= MODE <= HI"},
                                         std::pair{"age=uniform:1:nan", "not a number"}));

// Beyond the limit whatever the nominal value; ±X% is checked once it is known.
INSTANTIATE_TEST_SUITE_P(Limits, ParseBad,
                         testing::Values(std::pair{"lux=±1e308", "within -1e15 and 1e15"},
                                         std::pair{"lux=uniform:-1e308:1e308", "within -1e15 and 1e15"},
                                         std::pair{"lux=triangular:0:1e200:1e200", "within -1e15 and 1e15"},
                                         std::pair{"lux=normal:0:1e308", "within -1e15 and 1e15"},
                                         std::pair{"lux=normal:1e14:1e14", "within -1e15 and 1e15"},
                                         std::pair{"lux=normal:1e308", "within -1e15 and 1e15"}));

Distribution made(std::string_view text, std::optional<double> nominal, ValidRange valid = {}) {
    auto result = makeDistribution(*parseTolerance(text), nominal, valid);
    if (!result) {
        ADD_FAILURE() << result.error().text();
        return {};
    }
    return *result;
}

TEST(Distributions, CornersMediansAndTruncation) {
    const ValidRange age{0.0};
    const auto percent = made("lux=±10%", -40.0);
    EXPECT_DOUBLE_EQ(percent.low(), -44.0);
    EXPECT_DOUBLE_EQ(percent.high(), -36.0);

    const auto drivers = made("age=normal:45:12", 30.0, age);
    EXPECT_DOUBLE_EQ(drivers.low(), 9.0);
    EXPECT_DOUBLE_EQ(drivers.high(), 81.0);
    EXPECT_NEAR(drivers.excludedFraction(), 8.842e-5, 1e-7); // below age 0: 3.75 SD
    EXPECT_NEAR(drivers.quantile(0.975), 45.0 + 1.959964 * 12.0, 1e-3);

    const auto wide = made("age=normal:20", 10.0, age);
    EXPECT_TRUE(wide.truncated());
    EXPECT_EQ(wide.low(), 0.0);
    EXPECT_NEAR(wide.excludedFraction(), 0.3085375, 1e-6);
    EXPECT_GE(wide.quantile(0.0), 0.0);

    const auto distance =
        made("d=uniform:-1:1", std::nullopt, ValidRange{0.0, std::numeric_limits<double>::infinity(), false});
    EXPECT_GT(distance.low(), 0.0);
    EXPECT_DOUBLE_EQ(distance.excludedFraction(), 0.5);
    EXPECT_DOUBLE_EQ(distance.median(), 0.5);

    const auto tri = made("f=triangular:0:0:1", std::nullopt, ValidRange{0.0, 1.0});
    EXPECT_FALSE(tri.truncated());
    EXPECT_NEAR(tri.median(), 1.0 - std::sqrt(0.5), 1e-12);
}

// Every probability a draw can take, 1 included (the unit of a draw can
// round up to it), gives a valid value: around the middle, and cut 38 SD and
// more from the mean, where the inverse's polishing step overflows.
TEST(Distributions, DrawsStayFiniteAtEveryProbability) {
    for (const auto& [text, valid] :
         {std::pair{"age=normal:45:12", ValidRange{0.0}}, std::pair{"f=normal:38.5:1", ValidRange{0.0, 1.0}},
          std::pair{"f=normal:39:1", ValidRange{0.0, 1.0}}}) {
        const auto d = made(text, std::nullopt, valid);
        for (const double u : {0x1.0p-54, 0.5, 1.0 - 0x1.0p-53, 1.0}) {
            const double x = d.quantile(u);
            EXPECT_TRUE(std::isfinite(x) && x >= valid.low && x <= valid.high) << text << " at " << u << ": " << x;
        }
    }
}

TEST(Distributions, RefusesWhatCannotBeSampled) {
    const auto relative = *parseTolerance("age=±5");
    EXPECT_FALSE(makeDistribution(relative, std::nullopt, {}));
    const auto outside = *parseTolerance("f=uniform:1.5:2");
    EXPECT_FALSE(makeDistribution(outside, std::nullopt, {0.0, 1.0}));
    const auto point = *parseTolerance("d=±0");
    EXPECT_FALSE(makeDistribution(point, 0.0, {0.0, std::numeric_limits<double>::infinity(), false}));
    // Past the limit only once the nominal value is known.
    for (const auto& [text, nominal] :
         {std::pair{"x=±1e300%", 1076.0}, std::pair{"x=±1e14", 9.5e14}, std::pair{"x=normal:1e13", -9.5e14}}) {
        const auto result = makeDistribution(*parseTolerance(text), nominal, {});
        EXPECT_FALSE(result) << text;
    }
    EXPECT_TRUE(makeDistribution(*parseTolerance("x=±1e14"), 9e14, {}));
}

// margin = slope * x - threshold, with a verdict, or a message where x < messageBelow.
class Linear final : public SampleEvaluator {
  public:
    Linear(double slope, double threshold, double messageBelow)
        : slope_(slope), threshold_(threshold), messageBelow_(messageBelow) {}
    SampleOutcome evaluate(std::span<const double> values) override {
        if (values[0] < messageBelow_) {
            return {false, std::nullopt, "too small"};
        }
        const double margin = slope_ * values[0] - threshold_;
        return {margin > 0, margin, {}};
    }

  private:
    double slope_, threshold_, messageBelow_;
};

EvaluatorFactory linear(double slope, double threshold,
                        double messageBelow = -std::numeric_limits<double>::infinity()) {
    return [=] { return std::make_unique<Linear>(slope, threshold, messageBelow); };
}

struct Known {
    std::string_view spread;
    double nominal;
    double threshold;
    double probability; // known without simulation
};

class MonteCarlo : public testing::TestWithParam<Known> {};

TEST_P(MonteCarlo, MatchesTheAnalyticFraction) {
    const auto& p = GetParam();
    const std::vector inputs{made(p.spread, p.nominal)};
    const auto result = *runMonteCarlo(inputs, linear(1.0, p.threshold), {20'000, 7, 2});
    EXPECT_EQ(result.samples, 20'000U);
    EXPECT_LE(result.interval.low, p.probability);
    EXPECT_GE(result.interval.high, p.probability);
    EXPECT_LT(result.interval.high - result.interval.low, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Spreads, MonteCarlo,
                         testing::Values(Known{"x=±1", 0.0, 0.4, 0.3}, Known{"x=uniform:0:1", 0.0, 0.3, 0.7},
                                         Known{"x=triangular:0:0.25:1", 0.0, 0.5, 1.0 / 3.0},
                                         Known{"x=normal:1", 0.0, 1.0, 0.158655254}, Known{"x=±0", 2.0, 1.0, 1.0},
                                         Known{"x=normal:0", 0.5, 1.0, 0.0}));

TEST(MonteCarlo, ZeroToleranceGivesCertainty) {
    for (double nominal : {0.5, 1.5}) {
        const std::vector inputs{made("x=±0", nominal)};
        const auto result = *runMonteCarlo(inputs, linear(1.0, 1.0), {1000, 3, 2});
        EXPECT_EQ(result.probability, nominal > 1.0 ? 1.0 : 0.0);
        EXPECT_DOUBLE_EQ(*result.p5, nominal - 1.0);
        EXPECT_DOUBLE_EQ(*result.p95, nominal - 1.0);
    }
}

TEST(MonteCarlo, SameSeedSameOutcomeWhateverTheThreads) {
    const std::vector inputs{made("x=uniform:0:1", std::nullopt), made("y=normal:3:1", std::nullopt)};
    auto outcome = [&](std::uint64_t seed, unsigned threads) {
        const auto r = *runMonteCarlo(inputs, linear(1.0, 0.5, 0.1), {10'001, seed, threads});
        return std::tuple{r.legible, r.messageSamples, r.messages, *r.p5, *r.p50, *r.p95};
    };
    EXPECT_EQ(outcome(42, 1), outcome(42, 2));
    EXPECT_EQ(outcome(42, 1), outcome(42, 3));
    EXPECT_NE(outcome(42, 1), outcome(43, 1));
}

TEST(MonteCarlo, PercentilesAndMessages) {
    const std::vector inputs{made("x=uniform:0:1", std::nullopt)};
    const auto r = *runMonteCarlo(inputs, linear(1.0, 0.0, 0.1), {100'000, 5, 2});
    EXPECT_NEAR(static_cast<double>(r.messageSamples), 10'000, 400);
    ASSERT_EQ(r.messages.size(), 1U);
    EXPECT_EQ(r.messages.at("too small"), r.messageSamples);
    EXPECT_EQ(r.legible + r.messageSamples, r.samples); // a message is not legible
    EXPECT_NEAR(*r.p5, 0.1 + 0.05 * 0.9, 0.005);        // over the samples with a verdict
    EXPECT_NEAR(*r.p50, 0.55, 0.005);
    EXPECT_NEAR(*r.p95, 0.1 + 0.95 * 0.9, 0.005);
}

// margin = k², for the k-th sample it evaluates (from 0).
class Squares final : public SampleEvaluator {
  public:
    SampleOutcome evaluate(std::span<const double> /*values*/) override {
        const double k = count_++;
        return {true, k * k, {}};
    }

  private:
    double count_ = 0;
};

// Percentile p lies at rank p(n - 1) of the sorted margins, linear between
// neighbours: for 0, 1, 4, ..., 100 ranks 0.5, 5 and 9.5 give 0 + 0.5 x 1,
// 25 and 81 + 0.5 x 19; for 0 and 1 the ranks themselves.
TEST(MonteCarlo, ExactPercentilesOfAKnownSet) {
    const std::vector inputs{made("x=uniform:0:1", std::nullopt)};
    for (const auto& [samples, expected] : {std::pair{std::uint64_t{11}, std::array{0.5, 25.0, 90.5}},
                                            std::pair{std::uint64_t{2}, std::array{0.05, 0.5, 0.95}}}) {
        const auto r = *runMonteCarlo(inputs, [] { return std::make_unique<Squares>(); }, {samples, 1, 1});
        EXPECT_EQ((std::array{*r.p5, *r.p50, *r.p95}), expected) << samples << " samples";
    }
}

// margin = x rounded to two decimals, as the engine rounds its margins: many ties.
class Rounded final : public SampleEvaluator {
  public:
    SampleOutcome evaluate(std::span<const double> values) override {
        const double margin = std::round(values[0] * 100) / 100;
        return {margin > 0, margin, {}};
    }
};

TEST(MonteCarlo, MemoryDoesNotGrowWithTheSamples) {
    const auto peakKiB = [] { // since /proc/self/clear_refs was last given 5
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line) && !line.starts_with("VmHWM:")) {
        }
        return line.starts_with("VmHWM:") ? std::stol(line.substr(6)) : -1L;
    };
    if (!(std::ofstream("/proc/self/clear_refs") << "5").flush() || peakKiB() < 0) {
        GTEST_SKIP() << "the peak memory cannot be reset here";
    }
    const long before = peakKiB();
    const auto r = *runMonteCarlo(std::vector{made("x=uniform:-5:5", std::nullopt)},
                                  [] { return std::make_unique<Rounded>(); }, {2'000'000, 1, 2});
    EXPECT_NEAR(*r.p50, 0.0, 0.01);
    EXPECT_LT(peakKiB() - before, 8000) << "KiB more for 2 million samples"; // a list of them takes 15.6 MiB
}

TEST(MonteCarlo, AnEvaluatorFaultReachesTheCaller) {
    const std::vector inputs{made("x=uniform:0:1", std::nullopt)};
    const EvaluatorFactory failing = []() -> std::unique_ptr<SampleEvaluator> { throw std::runtime_error("boom"); };
    EXPECT_THROW((void)*runMonteCarlo(inputs, failing, {100, 1, 2}), std::runtime_error);
}

TEST(MonteCarlo, RefusesNoSamplesAndNoEvaluator) {
    const std::vector inputs{made("x=uniform:0:1", std::nullopt)};
    EXPECT_FALSE(runMonteCarlo(inputs, linear(1.0, 0.5), {0, 1, 1}));
    EXPECT_FALSE(runMonteCarlo(inputs, [] { return std::unique_ptr<SampleEvaluator>(); }, {10, 1, 2}));
}

TEST(Wilson, KnownIntervals) {
    EXPECT_NEAR(wilsonInterval(0, 10).high, 0.2775, 1e-4);
    EXPECT_NEAR(wilsonInterval(5, 10).low, 0.2366, 1e-4);
    EXPECT_NEAR(wilsonInterval(5, 10).high, 0.7634, 1e-4);
    EXPECT_EQ(wilsonInterval(10, 10).high, 1.0);
}

// margin = 3a + b - 0.5c - 1, with a message when b is above 0.9.
class Weighted final : public SampleEvaluator {
  public:
    SampleOutcome evaluate(std::span<const double> v) override {
        if (v.size() > 3 && v[3] > 0.9) {
            return {false, std::nullopt, "refused"};
        }
        const double margin = 3.0 * v[0] + v[1] - 0.5 * v[2] - 1.0;
        return {margin > 0, margin, {}};
    }
};

TEST(Corners, WorstCornerAndTornadoRanking) {
    const std::vector inputs{made("a=uniform:0:1", std::nullopt), made("b=uniform:0:1", std::nullopt),
                             made("c=uniform:0:1", std::nullopt), made("d=uniform:0:0.5", std::nullopt)};
    Weighted evaluator;
    const auto worst = findWorstCase(inputs, evaluator, {});
    EXPECT_EQ(worst.corners, 16U);
    EXPECT_EQ(worst.values, (std::vector<double>{0, 0, 1, 0}));
    EXPECT_DOUBLE_EQ(*worst.margin, -1.5);
    EXPECT_FALSE(worst.legible);

    const auto bars = tornado(inputs, evaluator);
    ASSERT_EQ(bars.size(), 4U);
    EXPECT_EQ(bars[0].input, 0U);
    EXPECT_DOUBLE_EQ(*bars[0].swing, 3.0);
    EXPECT_EQ(bars[1].input, 1U);
    EXPECT_EQ(bars[2].input, 2U);
    EXPECT_DOUBLE_EQ(*bars[2].swing, -0.5);
    EXPECT_DOUBLE_EQ(*bars[3].swing, 0.0);

    const std::vector refusing{inputs[0], inputs[1], inputs[2], made("d=uniform:0:1", std::nullopt)};
    const auto withMessages = findWorstCase(refusing, evaluator, {});
    EXPECT_EQ(withMessages.messageCorners, 8U);
    EXPECT_EQ(withMessages.message, "refused");
    EXPECT_FALSE(tornado(refusing, evaluator).back().swing); // no swing, ranked last

    const std::vector many(kMaxCornerInputs + 1, inputs[0]);
    EXPECT_TRUE(findWorstCase(many, evaluator, {}).skipped);
}

} // namespace

namespace {

struct CaseSpreads {
    std::vector<std::string> spreads;
    std::string_view refusal; // empty: the analysis runs
};

void PrintTo(const CaseSpreads& c, std::ostream* os) { *os << c.spreads.front() << " ..."; }

class AnalyseTolerance : public testing::TestWithParam<CaseSpreads> {};

// Spreads are refused naming the spread; those accepted give every part of the analysis.
TEST_P(AnalyseTolerance, RefusesNamingTheSpreadOrAnswersEveryPart) {
    const Case c = testing_cases::caseOf({{"mode", "illuminance"},
                                          {"illuminance_lux", "1076"},
                                          {"letter_factor", "0.8"},
                                          {"background_factor", "0.2"},
                                          {"age", "45"},
                                          {"letter_height_mm", "6"},
                                          {"viewing_distance_mm", "750"},
                                          {"ratio", "7"},
                                          {"ease", "90% confidence"}});
    ASSERT_FALSE(HasFailure());
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    const auto a = analyseTolerance(c, GetParam().spreads, {500, 3, 2}, numbers);
    if (!GetParam().refusal.empty()) {
        ASSERT_FALSE(a);
        EXPECT_EQ(a.error().kind, ErrorKind::Usage);
        EXPECT_EQ(a.error().message, GetParam().refusal);
        return;
    }
    ASSERT_TRUE(a) << a.error().text();
    EXPECT_EQ(a->mc.samples, 500U);
    EXPECT_EQ(a->columns.size(), GetParam().spreads.size());
    EXPECT_EQ(a->bars.size(), GetParam().spreads.size());
    EXPECT_EQ(a->worst.corners, std::uint64_t{1} << GetParam().spreads.size());
    ASSERT_TRUE(a->worst.margin && a->mc.p50);
    EXPECT_LE(*a->worst.margin, *a->mc.p50);
}

INSTANTIATE_TEST_SUITE_P(
    Spreads, AnalyseTolerance,
    testing::Values(CaseSpreads{{"age=normal:45:12", "illuminance_lux=+-10%"}, ""},
                    CaseSpreads{{"letter_height_mm=uniform:2:3"}, ""},
                    CaseSpreads{{"result=+-1"}, "result=+-1: \"result\" is not a numeric input"},
                    CaseSpreads{{"age=+-1", "age=+-2"}, "age is given twice"},
                    CaseSpreads{{"age=sideways"},
                                "age=sideways: bad tolerance 'age=sideways': expected \u00b1X, \u00b1X%, "
                                "normal:SD, normal:MEAN:SD, uniform:LO:HI or triangular:LO:MODE:HI"},
                    CaseSpreads{
                        {"letter_factor=uniform:2:3"},
                        "letter_factor=uniform:2:3: letter_factor's distribution lies wholly outside the values "
                        "it can take"}));

} // namespace

namespace {

// A bowl whose bottom lies inside the box: no corner is near the worst.
class Bowl final : public SampleEvaluator {
  public:
    Bowl(std::vector<double> centre, std::vector<double> width)
        : centre_(std::move(centre)), width_(std::move(width)) {}
    SampleOutcome evaluate(std::span<const double> v) override {
        double margin = -0.5;
        for (std::size_t j = 0; j < v.size(); ++j) {
            const double d = (v[j] - centre_[j]) / width_[j];
            margin += 2.0 * d * d;
        }
        margin = std::round(margin * 1000.0) / 1000.0; // three decimals, as the calculation's margins
        return {margin > 0, margin, {}};
    }

  private:
    std::vector<double> centre_;
    std::vector<double> width_;
};

class WorstOverTheBox : public testing::TestWithParam<std::uint64_t> {};

// Random boxes of one to five inputs: the worst case is never above the
// smallest sample margin, and the search reaches the bottom the corners miss.
TEST_P(WorstOverTheBox, NeverAboveTheSmallestSampleAndFindsTheInsideBottom) {
    std::mt19937_64 draw(GetParam());
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const std::size_t n = 1 + GetParam() % 5;
    std::vector<Distribution> inputs;
    std::vector<double> centre;
    std::vector<double> width;
    for (std::size_t j = 0; j < n; ++j) {
        const double lo = -100.0 + 200.0 * unit(draw);
        const double hi = lo + 0.01 + 50.0 * unit(draw);
        inputs.push_back(*makeDistribution({"x", SpreadForm::Uniform, {lo, hi}}, std::nullopt, {}));
        centre.push_back(lo + (hi - lo) * (0.1 + 0.8 * unit(draw)));
        width.push_back(hi - lo);
    }
    const EvaluatorFactory factory = [&] { return std::make_unique<Bowl>(centre, width); };
    const MonteCarloResult mc = *runMonteCarlo(inputs, factory, {300, GetParam(), 2});
    Bowl evaluator(centre, width);
    const WorstCase worst = findWorstCase(inputs, evaluator, mc);
    ASSERT_TRUE(worst.margin && mc.minMargin);
    EXPECT_LE(*worst.margin, *mc.minMargin);
    EXPECT_NEAR(*worst.margin, -0.5, 0.002) << worst.foundBy;
    EXPECT_EQ(evaluator.evaluate(worst.values).margin, worst.margin);
}

INSTANTIATE_TEST_SUITE_P(Seeds, WorstOverTheBox, testing::Values(1, 2, 3, 4, 5, 17, 42, 99, 1234, 98765));

// A daylight display whose background spreads through the letters' own
// luminance: the corners alone gave Legible with a margin of 0.663.
TEST(WorstOverTheBox, BackgroundThroughTheLetters) {
    using namespace vistrel::cli::testing_cases;
    const Case base = caseOf({{"mode", "luminance"},
                              {"letter_cdm2", "50"},
                              {"background_cdm2", "1"},
                              {"age", "40"},
                              {"letter_height_mm", "6"},
                              {"viewing_distance_mm", "750"},
                              {"ratio", "7"},
                              {"ease", "90% confidence"},
                              {"ambient_lux", "1000"},
                              {"display_reflectance", "0.04"}});
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    const std::vector<std::string> spreads{"background_cdm2=uniform:5:400"};
    const auto a = analyseTolerance(base, spreads, {5000, 1, 2}, numbers);
    ASSERT_TRUE(a);
    ASSERT_TRUE(a->worst.margin && a->mc.minMargin && a->mc.p5);
    EXPECT_LE(*a->worst.margin, *a->mc.minMargin);
    EXPECT_LT(*a->worst.margin, *a->mc.p5);
    EXPECT_FALSE(a->worst.legible);
}

} // namespace
