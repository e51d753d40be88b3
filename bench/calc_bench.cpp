// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"

#include <benchmark/benchmark.h>

namespace {

class NoMessages final : public vistrel::MessageSink {
  public:
    void showMessage(std::string_view /*text*/, vistrel::MessageStyle /*style*/) override { ++shown; }
    int shown = 0;
};

vistrel::MemoryStore workedCase(vistrel::Holds holds = vistrel::Holds::WindowFields) {
    using vistrel::Field;
    vistrel::MemoryStore store(holds);
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

// The same press in a store that also holds the daylight fields, with none of
// them filled: the cost of the extra outputs (ratio, modulation, polarity,
// near point, notes) over the window's press.
void BM_CalculateWorkedCaseEveryField(benchmark::State& state) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    vistrel::MemoryStore store = workedCase(vistrel::Holds::EveryField);
    NoMessages messages;
    for (auto _ : state) {
        store.setText(vistrel::Field::ILLFC2, "");
        benchmark::DoNotOptimize(vistrel::calculate(store, numbers, messages));
    }
    if (messages.shown != 0 || store.text(vistrel::Field::ThresholdCon) != "0.266" ||
        store.text(vistrel::Field::VeilFl) != "0.000") {
        state.SkipWithError("the worked case did not reach its verdict");
    }
}
BENCHMARK(BM_CalculateWorkedCaseEveryField);

// The press above with two glare sources (oncoming headlamps at night): the
// cost of reading the two lists and the veil they lay, to compare with it.
void BM_CalculateWorkedCaseTwoGlareSources(benchmark::State& state) {
    using vistrel::Field;
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    vistrel::MemoryStore store = workedCase(vistrel::Holds::EveryField);
    store.setText(Field::GlareLux, "2;0.5");
    store.setText(Field::GlareAngleDeg, "5;20");
    NoMessages messages;
    for (auto _ : state) {
        store.setText(Field::ILLFC2, "");
        benchmark::DoNotOptimize(vistrel::calculate(store, numbers, messages));
    }
    if (messages.shown != 0 || store.text(Field::GlareVeilCdm2).empty() || store.text(Field::VeilFl) == "0.000") {
        state.SkipWithError("the glare case did not reach its verdict");
    }
}
BENCHMARK(BM_CalculateWorkedCaseTwoGlareSources);

// A backlit display, 500 cd/m^2 letters on 10 cd/m^2, in 45,000 lux with 2%
// diffuse and a mirrored sky of 20,000 cd/m^2 at 0.5% specular reflectance;
// optionally seen from the driver's seat (tilted, panned and dimmed
// off-axis) and with two glare sources, to give the cost of each beside the
// same press without.
enum Extras : int { kNone = 0, kSeat = 1, kGlare = 2 };

void BM_CalculateInSunlight(benchmark::State& state) {
    using vistrel::Field;
    const auto extras = static_cast<int>(state.range(0));
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    vistrel::MemoryStore store = workedCase(vistrel::Holds::EveryField);
    store.select(vistrel::ModeOption::BackLum2Op);
    store.setText(Field::AmbientLux, "45000");
    store.setText(Field::DisplayReflectance, "0.02");
    store.setText(Field::SpecularCdm2, "20000");
    store.setText(Field::SpecularReflectance, "0.005");
    if ((extras & kSeat) != 0) {
        store.setText(Field::ViewTiltDeg, "-30");
        store.setText(Field::ViewPanDeg, "20");
        store.setText(Field::OffAxisFactor, "0.7");
    }
    if ((extras & kGlare) != 0) {
        store.setText(Field::GlareLux, "2;0.5");
        store.setText(Field::GlareAngleDeg, "5;20");
    }
    NoMessages messages;
    for (auto _ : state) {
        store.setText(Field::LetterLumCDM, "500");
        store.setText(Field::BackLumCDM, "10");
        store.setText(Field::LetterLum, "");
        store.setText(Field::BackLum, "");
        benchmark::DoNotOptimize(vistrel::calculate(store, numbers, messages));
    }
    if (messages.shown != 0 || store.text(Field::VeilFl).empty() || store.text(Field::ContrastRatio).empty() ||
        ((extras & kSeat) != 0) != (store.text(Field::ApparentHeightMm) == "5.196") ||
        ((extras & kGlare) != 0) == store.text(Field::GlareVeilCdm2).empty()) {
        state.SkipWithError("the sunlit case did not reach its verdict");
    }
}
BENCHMARK(BM_CalculateInSunlight)->ArgName("extras")->Arg(kNone)->Arg(kSeat)->Arg(kGlare)->Arg(kSeat | kGlare);

} // namespace
