// SPDX-License-Identifier: GPL-3.0-or-later
#include "review_sample.h"

#include "analysis/cases.h"

#include <stdexcept>
#include <tuple>

namespace vistrel::cli::test {

namespace {

const NumberText& invariantNumbers() {
    static const NumberText numbers(NumberFormat::invariant());
    return numbers;
}

// A daylight case: the review shows the contrast ratio, modulation and polarity too.
Case caseOf(const Row& row) {
    Case c(true);
    for (const auto& [column, text] : row) {
        const auto index = columnIndex(column);
        if (!index || !c.set(*index, text)) {
            throw std::invalid_argument("bad sample column " + column);
        }
    }
    return c;
}

// Re-evaluates the case with its age set to each sample's value.
class AgeEvaluator final : public SampleEvaluator {
  public:
    explicit AgeEvaluator(Case c) : case_(std::move(c)) {}
    SampleOutcome evaluate(std::span<const double> values) override {
        case_.set(*columnIndex("age"), invariantNumbers().plain(values[0]));
        const Evaluation e = cli::evaluate(case_, invariantNumbers());
        if (!e.hasVerdict()) {
            return {false, std::nullopt, e.message};
        }
        return {case_.store().text(Field::Result) == kLegible, invariantNumbers().parse(e.margin).value, {}};
    }

  private:
    Case case_;
};

ReviewTolerance ageTolerance(const Case& c, std::uint64_t samples) {
    const auto spec = parseTolerance("age=normal:45:12");
    const std::vector<Distribution> inputs{*makeDistribution(*spec, 40.0, ValidRange{0.0})};
    const EvaluatorFactory factory = [&c] { return std::make_unique<AgeEvaluator>(c); };
    const MonteCarloResult mc = *runMonteCarlo(inputs, factory, {samples, 7, 1});
    AgeEvaluator corners(c);
    const WorstCase worst = findWorstCase(inputs, corners, mc);
    return {{*columnIndex("age")}, mc, worst};
}

} // namespace

Row workedRow() {
    return {{"mode", "illuminance"},
            {"illuminance_lux", "1076"},
            {"letter_factor", "0.8"},
            {"background_factor", "0.2"},
            {"age", "40"},
            {"letter_height_mm", "6"},
            {"viewing_distance_mm", "750"},
            {"ratio", "7"},
            {"ease", "90% confidence"}};
}

ReviewDesign evaluatedDesign(const std::string& name, const Row& row, const std::filesystem::path& profilesDir,
                             const std::vector<std::string>& profiles, std::uint64_t samples) {
    Case c = caseOf(row);
    const Evaluation e = cli::evaluate(c, invariantNumbers());
    ReviewDesign d = reviewDesign(name, c, e, invariantNumbers());
    const QuantityValues values = reviewQuantities(c, e, invariantNumbers());
    for (const std::string& p : profiles) {
        auto loaded = loadProfile(profilesDir / (p + ".toml"));
        const Profile& profile = *loaded;
        d.profiles.push_back(reviewProfile(profile, ProfileChecker(profile).check(values)));
    }
    if (e.hasVerdict()) {
        for (const std::string_view input : {"letter_height_mm", "viewing_distance_mm", "age"}) {
            const std::size_t column = *columnIndex(input);
            d.answers.push_back({column, solve(c, column, solveTarget(input)->range, invariantNumbers())});
        }
    }
    if (samples > 0 && e.hasVerdict()) {
        d.tolerance = ageTolerance(c, samples);
    }
    return d;
}

} // namespace vistrel::cli::test
