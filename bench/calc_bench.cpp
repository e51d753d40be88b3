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

// The whole press of the calculate button on the worked case, starting each
// time from the typed inputs so that the illuminance is derived every run.
void BM_CalculateWorkedCase(benchmark::State& state) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    const vistrel::MemoryStore typed = workedCase();
    NoMessages messages;
    for (auto _ : state) {
        state.PauseTiming();
        vistrel::MemoryStore store = typed;
        state.ResumeTiming();
        benchmark::DoNotOptimize(vistrel::calculate(store, numbers, messages));
        benchmark::DoNotOptimize(store);
    }
    if (messages.shown != 0 || typed.text(vistrel::Field::Result) != "") {
        state.SkipWithError("the worked case showed a message");
    }
}
BENCHMARK(BM_CalculateWorkedCase);

} // namespace
