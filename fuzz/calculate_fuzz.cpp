// SPDX-License-Identifier: GPL-3.0-or-later
// The whole calculate operation on arbitrary field texts, input mode and ease
// of reading, in a store like the window's or one that also holds the
// daylight fields. It must not crash or hang, shows at most one message,
// leaves no output from before a message, and any verdict agrees with the
// contrasts. With no daylight given, every field the window has ends as in the
// window's store; with daylight, glare or a view from the seat, the extra
// outputs stay in their ranges.

#include "calc/calculate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using vistrel::Field;

class Counter final : public vistrel::MessageSink {
  public:
    void showMessage(std::string_view /*text*/, vistrel::MessageStyle /*style*/) override { ++shown; }
    int shown = 0;
};

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// Pieces that steer texts towards numbers the model can reach.
constexpr const char* kPieces[] = {"0",      "1",  "2",   "5",    "7",   "9",     ".",     "-",    "e",
                                   "3",      "40", "750", "1076", "0.2", "0.8",   " ",     ",",    "1e308",
                                   "\u2212", "x",  "100", "6",    "4",   "0.001", "45000", "0.02", "62"};

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string text() {
        std::string t;
        for (int n = byte() % 6; n > 0; --n) {
            const std::uint8_t b = byte();
            if (b < 200) {
                t += kPieces[b % std::size(kPieces)];
            } else {
                t += static_cast<char>(byte());
            }
        }
        return t;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Every input the window lacks: daylight, glare and the view from the seat.
constexpr auto kDaylightInputs = [] {
    constexpr auto isOffWindowInput = [](const vistrel::FieldInfo& f) {
        return !f.window && f.role == vistrel::Role::Input;
    };
    std::array<Field, vistrel::fields_detail::count(isOffWindowInput)> out{};
    std::size_t n = 0;
    for (const vistrel::FieldInfo& f : vistrel::kFields) {
        if (isOffWindowInput(f)) {
            out[n++] = f.field;
        }
    }
    return out;
}();

// Ratio, modulation and polarity describe the veiled luminances, and any
// output left empty says why.
void checkDaylight(const vistrel::MemoryStore& store, const vistrel::NumberText& numbers) {
    const auto veil = numbers.parse(store.text(Field::VeilFl));
    check(veil.ok() && veil.value >= 0);
    const std::string polarity = store.text(Field::Polarity);
    check(polarity.empty() || polarity == vistrel::kPositive || polarity == vistrel::kNegative ||
          polarity == vistrel::kNoPolarity);
    const std::string ratio = store.text(Field::ContrastRatio);
    check(!ratio.empty() || !store.text(Field::Notes).empty());
    if (!ratio.empty()) {
        check(numbers.parse(ratio).value >= 1.0);
    }
    // Glare only adds a veil, and the seat only foreshortens the letters.
    const std::string glare = store.text(Field::GlareVeilCdm2);
    check(glare.empty() || numbers.parse(glare).value >= 0.0);
    const std::string apparent = store.text(Field::ApparentHeightMm);
    if (!apparent.empty()) {
        check(std::fabs(numbers.parse(apparent).value) <=
              std::fabs(numbers.parse(store.text(Field::LetterHT2)).value) + 0.0005);
        const double offAxis = numbers.parse(store.text(Field::OffAxisDeg)).value;
        check(offAxis >= 0.0 && offAxis <= 90.0);
    }
    const std::string modulation = store.text(Field::Modulation);
    if (!modulation.empty()) {
        const double m = numbers.parse(modulation).value;
        check(m >= 0.0 && m <= 1.0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const bool daylight = in.byte() % 2 == 0;
    vistrel::MemoryStore store(daylight ? vistrel::Holds::EveryField : vistrel::Holds::WindowFields);
    const int mode = in.byte() % 4;
    if (mode < 3) {
        store.select(static_cast<vistrel::ModeOption>(mode));
    }
    for (const vistrel::FieldInfo& f : vistrel::kFields) {
        if (f.window || daylight) {
            store.setText(f.field, in.text());
        }
    }
    const std::uint8_t ease = in.byte();
    if (ease < 8 * 24) {
        store.setText(Field::EaseOfRead, vistrel::kEaseLevels[ease % 8].text);
    }
    if (in.byte() % 2 == 0) {
        for (const Field f : vistrel::kClearedSet) {
            store.setText(f, "stale");
        }
    }
    if (daylight && in.byte() % 2 == 0) {
        for (const Field f : kDaylightInputs) {
            store.setText(f, "");
        }
    }
    const bool noDaylight =
        std::all_of(kDaylightInputs.begin(), kDaylightInputs.end(), [&](Field f) { return store.text(f).empty(); });
    // The same texts in a store like the window's.
    vistrel::MemoryStore window;
    for (const vistrel::FieldInfo& f : vistrel::kFields) {
        if (f.window) {
            window.setText(f.field, store.text(f.field));
        }
    }
    if (mode < 3) {
        window.select(static_cast<vistrel::ModeOption>(mode));
    }

    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    Counter messages;
    const vistrel::Outcome outcome = vistrel::calculate(store, numbers, messages);
    check(messages.shown <= 1);
    check((messages.shown == 1) == (outcome != vistrel::Outcome::Verdict));
    if (daylight && noDaylight) {
        Counter windowMessages;
        check(vistrel::calculate(window, numbers, windowMessages) == outcome);
        for (const vistrel::FieldInfo& f : vistrel::kFields) {
            check(!f.window || store.text(f.field) == window.text(f.field));
        }
    }
    if (outcome != vistrel::Outcome::Verdict) {
        for (const Field f : vistrel::kClearedOutputs) {
            check(store.text(f).empty());
        }
        for (const Field f : vistrel::kOffWindowOutputs) {
            check(store.text(f).empty());
        }
        return 0;
    }
    const auto actual = numbers.parse(store.text(Field::ActualCon));
    const auto threshold = numbers.parse(store.text(Field::ThresholdCon));
    check(actual.ok() && threshold.ok());
    const std::string result = store.text(Field::Result);
    check(result == (actual.value > threshold.value ? vistrel::kLegible : vistrel::kNotLegible));
    if (daylight) {
        checkDaylight(store, numbers);
    }
    return 0;
}
