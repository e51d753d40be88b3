#include "cases.h"

namespace vistrel::cli {

namespace {

// Each mode's text and the option it selects, in the order of Mode.
struct ModeRow {
    std::string_view text;
    std::optional<ModeOption> option;
};
constexpr std::array<ModeRow, 4> kModes{{
    {"none", std::nullopt},
    {"source", ModeOption::SourceID2Op},
    {"illuminance", ModeOption::ILL2Op},
    {"luminance", ModeOption::BackLum2Op},
}};

class CapturedMessage final : public MessageSink {
  public:
    void showMessage(std::string_view text, MessageStyle /*style*/) override { message.assign(text); }
    std::string message;
};

} // namespace

std::optional<std::size_t> columnIndex(std::string_view name) {
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (kColumns[k].name == name) {
            return k;
        }
    }
    return std::nullopt;
}

std::optional<Mode> modeFromText(std::string_view text) {
    if (text.empty()) {
        return Mode::None;
    }
    for (std::size_t k = 0; k < kModes.size(); ++k) {
        if (kModes[k].text == text) {
            return static_cast<Mode>(k);
        }
    }
    return std::nullopt;
}

std::string_view modeText(Mode mode) { return kModes[static_cast<std::size_t>(mode)].text; }

void Case::makeDaylight() {
    if (daylight()) {
        return;
    }
    MemoryStore every(Holds::EveryField);
    for (const FieldInfo& f : kFields) {
        if (f.window) {
            every.setText(f.field, store_.view(f.field));
        }
    }
    if (const auto option = kModes[static_cast<std::size_t>(mode())].option) {
        every.select(*option);
    }
    store_ = std::move(every);
}

bool Case::set(std::size_t column, std::string_view text) {
    if (const auto field = kColumns[column].field) {
        if (!fieldInfo(*field).window) {
            makeDaylight();
        }
        store_.setText(*field, text);
        return true;
    }
    const auto mode = modeFromText(text);
    if (!mode) {
        return false;
    }
    if (const auto option = kModes[static_cast<std::size_t>(*mode)].option) {
        store_.select(*option);
    } else {
        store_.selectNone();
    }
    return true;
}

Mode Case::mode() const {
    for (std::size_t k = 1; k < kModes.size(); ++k) {
        if (store_.isSelected(*kModes[k].option)) {
            return static_cast<Mode>(k);
        }
    }
    return Mode::None;
}

std::string_view Case::view(std::size_t column) const {
    if (const auto field = kColumns[column].field) {
        return store_.view(*field);
    }
    return modeText(mode());
}

Evaluation evaluate(Case& c, const NumberText& numbers) {
    CapturedMessage captured;
    Evaluation e;
    e.outcome = calculate(c.store(), numbers, captured);
    e.message = std::move(captured.message);
    if (c.daylight()) {
        e.notes = c.store().text(Field::Notes);
    }
    if (e.hasVerdict()) {
        const auto actual = numbers.parse(c.store().text(Field::LogActualCon));
        const auto threshold = numbers.parse(c.store().text(Field::LogThresholdCon));
        if (actual.ok() && threshold.ok()) {
            e.margin = numbers.threeDecimals(actual.value - threshold.value);
        }
    }
    return e;
}

} // namespace vistrel::cli
