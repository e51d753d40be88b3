// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/calculate.h"

#include <string>
#include <utility>
#include <vector>

// One press of the calculate button on a common case, for the engine's tests.
namespace vistrel::testing_presses {

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

// Age 40, letters 6 mm at 750 mm, ratio 7, "90% confidence", factors 0.8 and
// 0.2, with stale outputs of an earlier press; texts are typed over it.
inline MemoryStore storeFor(Mode mode, const Texts& texts, Holds holds = Holds::WindowFields) {
    using F = Field;
    MemoryStore s(holds);
    if (mode != Mode::None) {
        s.select(mode == Mode::Source        ? ModeOption::SourceID2Op
                 : mode == Mode::Illuminance ? ModeOption::ILL2Op
                                             : ModeOption::BackLum2Op);
    }
    // What an earlier press left behind: none of it may survive a new one.
    for (const Field f : kClearedSet) {
        s.setText(f, f == F::Result ? "Legible" : "9.999");
    }
    if (holds == Holds::EveryField) {
        for (const Field f : kOffWindowOutputs) {
            s.setText(f, "9.999");
        }
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

} // namespace vistrel::testing_presses
