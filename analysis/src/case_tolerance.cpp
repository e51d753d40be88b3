// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_tolerance.h"

#include "analysis/explore.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace vistrel::cli {

namespace {

// Keeps each sample's margin, NaN for one that ended in a message; one per thread.
class MarginKeeper final : public SampleEvaluator {
  public:
    MarginKeeper(std::unique_ptr<SampleEvaluator> inner, std::vector<double>& margins)
        : inner_(std::move(inner)), margins_(margins) {}
    SampleOutcome evaluate(std::span<const double> values) override {
        SampleOutcome o = inner_->evaluate(values);
        margins_.push_back(o.margin.value_or(std::nan("")));
        return o;
    }

  private:
    std::unique_ptr<SampleEvaluator> inner_;
    std::vector<double>& margins_;
};

} // namespace

SampleOutcome CaseEvaluator::evaluate(std::span<const double> values) {
    work_ = base_; // unit siblings and outputs of the last sample must not carry over
    for (std::size_t k = 0; k < columns_.size(); ++k) {
        work_.set(columns_[k], numbers_.plain(values[k]));
    }
    const Evaluation e = vistrel::cli::evaluate(work_, numbers_);
    if (!e.hasVerdict()) {
        return {false, std::nullopt, e.message};
    }
    const ParsedNumber margin = numbers_.parse(e.margin);
    return {
        work_.store().view(Field::Result) == kLegible, margin.ok() ? std::optional(margin.value) : std::nullopt, {}};
}

Expected<ToleranceAnalysis> analyseTolerance(const Case& base, std::span<const std::string> spreads,
                                             const MonteCarloOptions& draws, const NumberText& numbers,
                                             const SampleProgress& progress, std::vector<double>* margins) {
    ToleranceAnalysis a;
    for (const std::string& text : spreads) {
        auto spec = parseTolerance(text);
        if (!spec) {
            return usageError(text + ": " + spec.error().message);
        }
        const SolveTarget* target = solveTarget(spec->name);
        if (target == nullptr) {
            return usageError(
                text + ": \"" + spec->name + "\" is not a numeric input" +
                didYouMean(spec->name, [](std::string_view near) { return solveTarget(near) != nullptr; }));
        }
        const std::size_t column = *columnIndex(spec->name);
        if (std::find(a.columns.begin(), a.columns.end(), column) != a.columns.end()) {
            return usageError(spec->name + " is given twice");
        }
        if (auto single = refuseSourceList(base, column); !single) {
            return usageError(text + ": " + single.error().message);
        }
        const ParsedNumber nominal = numbers.parse(base.view(column));
        auto made = makeDistribution(*spec, nominal.ok() ? std::optional(nominal.value) : std::nullopt, target->valid);
        if (!made) {
            return usageError(text + ": " + made.error().message);
        }
        a.texts.push_back(text);
        a.columns.push_back(column);
        a.inputs.push_back(*made);
    }
    std::mutex partsMutex;
    std::vector<std::unique_ptr<std::vector<double>>> parts; // a worker's margins each
    const EvaluatorFactory factory = [&]() -> std::unique_ptr<SampleEvaluator> {
        auto evaluator = std::make_unique<CaseEvaluator>(base, a.columns, numbers);
        if (margins == nullptr) {
            return evaluator;
        }
        const std::lock_guard lock(partsMutex);
        parts.push_back(std::make_unique<std::vector<double>>());
        return std::make_unique<MarginKeeper>(std::move(evaluator), *parts.back());
    };
    auto mc = runMonteCarlo(a.inputs, factory, draws, progress);
    if (!mc) {
        return mc.error();
    }
    if (margins != nullptr) {
        margins->clear();
        for (const auto& part : parts) {
            margins->insert(margins->end(), part->begin(), part->end());
        }
        // Which worker drew which sample varies from run to run; sorted, they do not.
        std::sort(margins->begin(), margins->end(),
                  [](double x, double y) { return std::isnan(y) ? !std::isnan(x) : x < y; });
    }
    a.mc = std::move(*mc);
    CaseEvaluator evaluator(base, a.columns, numbers);
    a.worst = findWorstCase(a.inputs, evaluator, a.mc);
    a.bars = tornado(a.inputs, evaluator);
    return a;
}

} // namespace vistrel::cli
