// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_numbers.h"

#include "checked_arithmetic.h"

#include <cmath>

namespace vistrel::detail {

namespace {

// FieldCorr sits on the other screen, so its messages also say how to get there.
[[noreturn]] void failOn(Field field, std::string message) { fail(std::move(message), field == Field::FieldCorr); }

[[noreturn]] void failTooLarge(Field field) { failOn(field, fieldSubject(field) + " is too large."); }

} // namespace

FieldNumbers::FieldNumbers(FieldStore& store, const NumberText& numbers)
    : store_(store), numbers_(numbers), unseen_(store.keepsTextsUnseen()) {
    if (!unseen_) {
        known_.emplace();
    }
}

double checkOverflow(double value, Field source) {
    if (!std::isfinite(value)) {
        failTooLarge(source);
    }
    return value;
}

double FieldNumbers::readText(Field field, std::string_view emptyMessage) const {
    std::string buffer;
    const std::string_view text = store_.textIn(field, buffer);
    if (!unseen_) {
        if (const KnownNumber& known = entry(field); known.valid && known.text.equals(text)) {
            return known.value;
        }
    }
    const ParsedNumber n = numbers_.parse(text);
    switch (n.error) {
    case ParseError::None: note(field, text, n.value); return n.value;
    case ParseError::Empty:
        // Blanks look like an empty box, so say what the box really holds.
        if (!text.empty()) {
            failOn(field, fieldSubject(field) + " holds only blanks.");
        }
        if (!emptyMessage.empty()) {
            fail(std::string(emptyMessage));
        }
        failOn(field, "Enter the " + fieldSubject(field) + ".");
    case ParseError::NotANumber: break;
    case ParseError::Overflow: failTooLarge(field);
    }
    failOn(field, fieldSubject(field) + " is not a number.");
}

void FieldNumbers::note(Field field, std::string_view text, double value) const {
    if (unseen_) {
        const auto k = static_cast<std::size_t>(field);
        values_[k] = value;
        valued_ |= std::uint64_t{1} << k;
        return;
    }
    KnownNumber& known = entry(field);
    known.text.assign(text);
    known.value = value;
    known.valid = true;
}

void FieldNumbers::remember(Field field, const NumberText::Shown& shown) {
    if (!std::isfinite(shown.value)) { // shown is too large to read back
        failTooLarge(field);
    }
    store_.setText(field, shown.text.view());
    note(field, shown.text.view(), shown.value);
}

void FieldNumbers::writeComputed(Field field, double value) {
    if (unseen_) {
        // Nobody sees the plain text before the three-decimal form replaces
        // it, and the store hands back exactly the text it was given. Reading
        // that back would give the value to 15 digits, whose three-decimal
        // form is value's own, so the plain text is only written when no
        // three-decimal form follows: when it is too large to read back.
        NumberText::Shown shown = numbers_.showThreeDecimals(value);
        if (!std::isfinite(shown.value)) {
            setText(field, numbers_.plain(value));
        }
        remember(field, shown);
        return;
    }
    NumberText::BothForms forms = numbers_.bothForms(value);
    store_.setText(field, forms.plain);
    // Reading back the plain text we wrote gives the 15-digit value, whose
    // three-decimal form is value's own; only a text the store changed needs reading.
    std::string buffer;
    const bool unchanged = store_.textIn(field, buffer) == forms.plain;
    remember(field, unchanged ? forms.shown : numbers_.showThreeDecimals(read(field)));
}

void FieldNumbers::rewrite(Field field) { remember(field, numbers_.showThreeDecimals(read(field))); }

} // namespace vistrel::detail
