// The whole calculate operation on arbitrary field texts, input mode and ease
// of reading. It must not crash or hang, shows at most one message, leaves no
// output from before a message, and any verdict agrees with the contrasts.

#include "calc/calculate.h"

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
constexpr const char* kPieces[] = {"0",    "1",   "2",   "5", "7", "9",     ".",      "-", "e",   "3", "40", "750",
                                   "1076", "0.2", "0.8", " ", ",", "1e308", "\u2212", "x", "100", "6", "4",  "0.001"};

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    vistrel::MemoryStore store;
    const int mode = in.byte() % 4;
    if (mode < 3) {
        store.select(static_cast<vistrel::ModeOption>(mode));
    }
    for (std::size_t k = 0; k < vistrel::kFieldCount; ++k) {
        store.setText(static_cast<Field>(k), in.text());
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
    const vistrel::NumberText numbers(vistrel::NumberFormat::usEnglish());
    Counter messages;
    const vistrel::Outcome outcome = vistrel::calculate(store, numbers, messages);
    check(messages.shown <= 1);
    check((messages.shown == 1) == (outcome != vistrel::Outcome::Verdict));
    if (outcome != vistrel::Outcome::Verdict) {
        for (const Field f : vistrel::kClearedOutputs) {
            check(store.text(f).empty());
        }
        return 0;
    }
    const auto actual = numbers.parse(store.text(Field::ActualCon));
    const auto threshold = numbers.parse(store.text(Field::ThresholdCon));
    check(actual.ok() && threshold.ok());
    const std::string result = store.text(Field::Result);
    check(result == (actual.value > threshold.value ? vistrel::kLegible : vistrel::kNotLegible));
    return 0;
}
