#include "cases.h"

namespace vistrel::cli {

namespace {

constexpr std::array<std::string_view, 4> kModeTexts{"none", "source", "illuminance", "luminance"};

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
    for (std::size_t k = 0; k < kModeTexts.size(); ++k) {
        if (kModeTexts[k] == text) {
            return static_cast<Mode>(k);
        }
    }
    return std::nullopt;
}

std::string_view modeText(Mode mode) { return kModeTexts[static_cast<std::size_t>(mode)]; }

bool Case::set(std::size_t column, std::string_view text) {
    if (const auto field = kColumns[column].field) {
        store_.setText(*field, text);
        return true;
    }
    const auto mode = modeFromText(text);
    if (!mode) {
        return false;
    }
    mode_ = *mode;
    switch (mode_) {
    case Mode::None: store_.selectNone(); break;
    case Mode::Source: store_.select(ModeOption::SourceID2Op); break;
    case Mode::Illuminance: store_.select(ModeOption::ILL2Op); break;
    case Mode::Luminance: store_.select(ModeOption::BackLum2Op); break;
    }
    return true;
}

std::string_view Case::view(std::size_t column) const {
    if (const auto field = kColumns[column].field) {
        return store_.view(*field);
    }
    return modeText(mode_);
}

Evaluation evaluate(Case& c, const NumberText& numbers) {
    CapturedMessage captured;
    Evaluation e;
    e.outcome = calculate(c.store(), numbers, captured);
    e.message = std::move(captured.message);
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
