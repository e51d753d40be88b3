#include "calc/calculate.h"

#include <benchmark/benchmark.h>

namespace {

class NoMessages final : public vistrel::MessageSink {
  public:
    void showMessage(std::string_view /*text*/, vistrel::MessageStyle /*style*/) override { ++shown; }
    int shown = 0;
};

vistrel::MemoryStore workedCase() {
    using vistrel::Field;
    vistrel::MemoryStore store;
    store.select(vistrel::ModeOption::ILL2Op);
    store.setText(Field::ILLLUX2, "1076");
    store.setText(Field::LetterTrans2, "0.8");
    store.setText(Field::BackTrans2, "0.2");
    store.setText(Field::Age, "40");
    store.setText(Field::LetterHT2, "6");
    store.setText(Field::ViewDist2, "750");
    store.setText(Field::LHSW, "7");
    store.setText(Field::EaseOfRead, "90% confidence");
    return store;
}

// The whole press of the calculate button on the worked case. Emptying the
// derived footcandles each time makes every press reconcile the illuminance
// again, as the first press does; every other output is rewritten anyway.
void BM_CalculateWorkedCase(benchmark::State& state) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    vistrel::MemoryStore store = workedCase();
    NoMessages messages;
    for (auto _ : state) {
        store.setText(vistrel::Field::ILLFC2, "");
        benchmark::DoNotOptimize(vistrel::calculate(store, numbers, messages));
    }
    if (messages.shown != 0 || store.text(vistrel::Field::ThresholdCon) != "0.266") {
        state.SkipWithError("the worked case did not reach its verdict");
    }
}
BENCHMARK(BM_CalculateWorkedCase);

} // namespace
