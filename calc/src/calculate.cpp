#include "calc/calculate.h"

#include "run.h"

#include <algorithm>

namespace vistrel {

namespace detail {

namespace {

constexpr std::string_view kThresholdNotPositive =
    "The threshold contrast is zero or less: check the Observer's Age and the Field Correction.";
constexpr std::string_view kContrastZero =
    "The actual contrast is zero: the letters do not stand out from their background.";

} // namespace

void verdict(Run& run) {
    run.writeComputed(Field::LogThresholdCon, log10Of(run.read(Field::ThresholdCon), kThresholdNotPositive));
    run.writeComputed(Field::LogActualCon, log10Of(run.read(Field::ActualCon, kChooseMode), kContrastZero));
    // Equal contrasts are not legible: the letters must exceed the threshold.
    const double difference = run.read(Field::ActualCon) - run.read(Field::ThresholdCon);
    run.setText(Field::Result, difference > 0 ? kLegible : kNotLegible);
}

} // namespace detail

namespace {

bool anyEmpty(const detail::Run& run, std::initializer_list<Field> fields) {
    return std::any_of(fields.begin(), fields.end(), [&](Field f) { return run.isEmpty(f); });
}

void empty(FieldStore& store, const Field* first, const Field* last) {
    for (; first != last; ++first) {
        store.setText(*first, "");
    }
}

void emptyClearedSet(FieldStore& store) { empty(store, kClearedSet.begin(), kClearedSet.end()); }

// A fault leaves the ratio the user typed; only the outputs go.
void emptyOutputs(FieldStore& store) { empty(store, kClearedSet.begin() + 1, kClearedSet.end()); }

Outcome refuse(FieldStore& store, MessageSink& messages, std::string_view text, MessageStyle style, Outcome outcome) {
    messages.showMessage(text, style);
    emptyClearedSet(store);
    return outcome;
}

} // namespace

Outcome calculate(FieldStore& store, const NumberText& numbers, MessageSink& messages) {
    using F = Field;
    detail::Run run(store, numbers);
    const bool missing = run.isSelected(ModeOption::BackLum2Op)
                             ? anyEmpty(run, {F::Age, F::ViewDist2, F::LetterHT2, F::LHSW, F::EaseOfRead})
                             : anyEmpty(run, {F::Age, F::ViewDist2, F::LetterHT2, F::LHSW, F::LetterTrans2,
                                              F::BackTrans2, F::EaseOfRead});
    if (missing) {
        return refuse(store, messages, kFillAllMessage, MessageStyle::Critical, Outcome::MissingField);
    }
    try {
        if (run.isSelected(ModeOption::SourceID2Op)) {
            detail::reconcileDistance(run);
            detail::sourceIntensityContrast(run);
        }
        if (run.isSelected(ModeOption::ILL2Op)) {
            detail::reconcileIlluminance(run);
            detail::illuminanceContrast(run);
        }
        if (run.isSelected(ModeOption::BackLum2Op)) {
            detail::reconcileLuminance(run);
            detail::directLuminanceContrast(run);
        }
        const detail::Factors factors = detail::readFactors(run);
        if (!detail::visualSize(run)) {
            return refuse(store, messages, kRatioMessage, MessageStyle::Exclamation, Outcome::RatioTooSmall);
        }
        detail::thresholdContrast(run, factors);
        detail::verdict(run);
        return Outcome::Verdict;
    } catch (const detail::Fault& fault) {
        messages.showMessage(fault.message, MessageStyle::Critical);
        emptyOutputs(store);
        return Outcome::Fault;
    }
}

Outcome calculate(FieldStore& store, const NumberFormat& format, MessageSink& messages) {
    return calculate(store, NumberText(format), messages);
}

} // namespace vistrel
