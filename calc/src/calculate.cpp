#include "calc/calculate.h"

#include "checked_arithmetic.h"
#include "stages.h"

#include <algorithm>

namespace vistrel {

namespace {

template <std::size_t N> void empty(FieldStore& store, const std::array<Field, N>& fields) {
    for (const Field f : fields) {
        store.setText(f, "");
    }
}

bool anyEmpty(const detail::FieldNumbers& fields, std::initializer_list<Field> required) {
    return std::any_of(required.begin(), required.end(), [&](Field f) { return fields.isEmpty(f); });
}

Outcome refuse(FieldStore& store, MessageSink& messages, std::string_view text, MessageStyle style, Outcome outcome) {
    messages.showMessage(text, style);
    empty(store, kClearedSet);
    return outcome;
}

} // namespace

Outcome calculate(FieldStore& store, const NumberText& numbers, MessageSink& messages) {
    using F = Field;
    detail::FieldNumbers fields(store, numbers);
    const bool missing = fields.isSelected(ModeOption::BackLum2Op)
                             ? anyEmpty(fields, {F::Age, F::ViewDist2, F::LetterHT2, F::LHSW, F::EaseOfRead})
                             : anyEmpty(fields, {F::Age, F::ViewDist2, F::LetterHT2, F::LHSW, F::LetterTrans2,
                                                 F::BackTrans2, F::EaseOfRead});
    if (missing) {
        return refuse(store, messages, kFillAllMessage, MessageStyle::Critical, Outcome::MissingField);
    }
    try {
        if (fields.isSelected(ModeOption::SourceID2Op)) {
            detail::reconcileDistance(fields);
            detail::sourceIntensityContrast(fields);
        }
        if (fields.isSelected(ModeOption::ILL2Op)) {
            detail::reconcileIlluminance(fields);
            detail::illuminanceContrast(fields);
        }
        if (fields.isSelected(ModeOption::BackLum2Op)) {
            detail::reconcileLuminance(fields);
            detail::directLuminanceContrast(fields);
        }
        const detail::Factors factors = detail::readFactors(fields);
        if (!detail::visualSize(fields)) {
            return refuse(store, messages, kRatioMessage, MessageStyle::Exclamation, Outcome::RatioTooSmall);
        }
        detail::thresholdContrast(fields, factors);
        detail::verdict(fields);
        return Outcome::Verdict;
    } catch (const detail::Fault& fault) {
        messages.showMessage(fault.message, MessageStyle::Critical);
        empty(store, kClearedOutputs);
        return Outcome::Fault;
    }
}

Outcome calculate(FieldStore& store, const NumberFormat& format, MessageSink& messages) {
    return calculate(store, NumberText(format), messages);
}

} // namespace vistrel
