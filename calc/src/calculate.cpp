// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"

#include "checked_arithmetic.h"
#include "stages.h"

#include <algorithm>
#include <optional>

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

void emptyOffWindowOutputs(FieldStore& store) {
    if (store.holdsEveryField()) {
        empty(store, kOffWindowOutputs);
    }
}

Outcome refuse(FieldStore& store, MessageSink& messages, std::string_view text, MessageStyle style, Outcome outcome) {
    messages.showMessage(text, style);
    empty(store, kClearedSet);
    emptyOffWindowOutputs(store);
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
        // The window's store lacks the daylight fields: its press reads none
        // of them and, with no veil, runs exactly the stages it always ran.
        const bool daylight = store.holdsEveryField();
        const double veil = daylight ? detail::readVeil(fields) : 0.0;
        // Only a case that gives a tilt, pan or off-axis factor is seen off the normal.
        const std::optional<detail::View> view = daylight ? detail::readView(fields) : std::nullopt;
        const double offAxis = view ? view->offAxisFactor : 1.0;
        // |L - B| / (B + V) is the same contrast as the mode's own at V = 0,
        // but not always to the last bit, so it only runs when a veil or the
        // display's dimming off-axis changes the luminances.
        const bool ownContrast = veil == 0.0 && offAxis == 1.0;
        if (fields.isSelected(ModeOption::SourceID2Op)) {
            detail::reconcileDistance(fields);
            if (ownContrast) {
                detail::sourceIntensityContrast(fields);
            }
        }
        if (fields.isSelected(ModeOption::ILL2Op)) {
            detail::reconcileIlluminance(fields);
            if (ownContrast) {
                detail::illuminanceContrast(fields);
            }
        }
        if (fields.isSelected(ModeOption::BackLum2Op)) {
            detail::reconcileLuminance(fields);
            if (ownContrast) {
                detail::directLuminanceContrast(fields);
            }
        }
        if (!ownContrast) {
            detail::veiledContrast(fields, veil, offAxis);
        }
        const detail::Factors factors = detail::readFactors(fields);
        if (view) {
            detail::apparentHeight(fields, *view);
        }
        if (!detail::visualSize(fields, view ? Field::ApparentHeightMm : Field::LetterHT2)) {
            return refuse(store, messages, kRatioMessage, MessageStyle::Exclamation, Outcome::RatioTooSmall);
        }
        detail::thresholdContrast(fields, factors);
        detail::verdict(fields);
        if (daylight) {
            detail::daylightOutputs(fields, veil, offAxis);
        }
        return Outcome::Verdict;
    } catch (const detail::Fault& fault) {
        std::string message = fault.message;
        if (fault.onDisplayTypeScreen) {
            // The example is written the user's way: the point form may be refused there.
            message += " Press Back and enter it in log units, for example ";
            message += numbers.format().fromPointText(fieldInfo(Field::FieldCorr).start);
            message += '.';
        }
        messages.showMessage(message, MessageStyle::Critical);
        empty(store, kClearedOutputs);
        emptyOffWindowOutputs(store);
        return Outcome::Fault;
    }
}

Outcome calculate(FieldStore& store, const NumberFormat& format, MessageSink& messages) {
    return calculate(store, NumberText(format), messages);
}

} // namespace vistrel
