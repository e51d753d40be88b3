// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/tolerance.h"
#include "calc/calculate.h"

#include <benchmark/benchmark.h>

namespace {

using vistrel::Field;

class Captured final : public vistrel::MessageSink {
  public:
    void showMessage(std::string_view text, vistrel::MessageStyle /*style*/) override { message = text; }
    std::string message;
};

// The worked case with age and illuminance varied, as the command would run it:
// every sample is written as text and pressed through the whole calculation.
class WorkedCase final : public vistrel::cli::SampleEvaluator {
  public:
    WorkedCase() : numbers_(vistrel::NumberFormat::invariant()) {
        store_.select(vistrel::ModeOption::ILL2Op);
        store_.setText(Field::LetterTrans2, "0.8");
        store_.setText(Field::BackTrans2, "0.2");
        store_.setText(Field::LetterHT2, "6");
        store_.setText(Field::ViewDist2, "750");
        store_.setText(Field::LHSW, "7");
        store_.setText(Field::EaseOfRead, "90% confidence");
    }

    vistrel::cli::SampleOutcome evaluate(std::span<const double> values) override {
        store_.setText(Field::Age, numbers_.plain(values[0]));
        store_.setText(Field::ILLLUX2, numbers_.plain(values[1]));
        store_.setText(Field::ILLFC2, "");
        sink_.message.clear();
        if (vistrel::calculate(store_, numbers_, sink_) != vistrel::Outcome::Verdict) {
            return {false, std::nullopt, sink_.message};
        }
        const double actual = numbers_.parse(store_.view(Field::LogActualCon)).value;
        const double threshold = numbers_.parse(store_.view(Field::LogThresholdCon)).value;
        return {store_.view(Field::Result) == vistrel::kLegible,
                vistrel::NumberText::roundThreeDecimals(actual - threshold),
                {}};
    }

  private:
    vistrel::NumberText numbers_;
    vistrel::MemoryStore store_;
    Captured sink_;
};

std::vector<vistrel::cli::Distribution> spreads() {
    using namespace vistrel::cli;
    const auto age = *parseTolerance("age=normal:12");
    const auto lux = *parseTolerance("illuminance_lux=±10%");
    return {*(makeDistribution(age, 40.0, {0.0})), *(makeDistribution(lux, 1076.0, {0.0}))};
}

void BM_MonteCarloWorkedCase(benchmark::State& state) {
    const auto inputs = spreads();
    const vistrel::cli::EvaluatorFactory factory = [] { return std::make_unique<WorkedCase>(); };
    const vistrel::cli::MonteCarloOptions options{static_cast<std::uint64_t>(state.range(0)), 1,
                                                  static_cast<unsigned>(state.range(1))};
    vistrel::cli::MonteCarloResult result;
    for (auto _ : state) {
        result = *vistrel::cli::runMonteCarlo(inputs, factory, options);
        benchmark::DoNotOptimize(result.legible);
    }
    if (!result.p50) {
        state.SkipWithError("the worked case reached no verdict");
    }
    state.counters["P(legible)"] = result.probability;
    state.counters["messages"] = static_cast<double>(result.messageSamples);
    state.counters["samples/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// Samples, then threads (0: every core).
BENCHMARK(BM_MonteCarloWorkedCase)
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

} // namespace
