// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/fields.h"
#include "calc/inline_text.h"
#include "calc/number_text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel::detail {

// For a store that may change what it is given, as the window's fields can:
// the last text read from or written to a field with its number, so a text
// seen before is not converted again. Keyed on the text itself, it can never
// hand back a number for a text that has since changed. (At namespace scope:
// clang cannot value-initialise a nested class with member initialisers inside
// an optional member of the class that encloses it.)
struct KnownNumber {
    InlineText text;
    double value = 0;
    bool valid = false;
};

// The fields of one press of the calculate button as numbers: each read
// converts a field's text, and each computed value is written the way the
// window shows it.
class FieldNumbers {
  public:
    FieldNumbers(FieldStore& store, const NumberText& numbers);

    [[nodiscard]] bool isEmpty(Field field) const { return store_.isEmpty(field); }
    [[nodiscard]] bool isSelected(ModeOption option) const { return store_.isSelected(option); }
    [[nodiscard]] std::string text(Field field) const { return store_.text(field); }
    // The text in buffer, or the store's own without a copy.
    [[nodiscard]] std::string_view textIn(Field field, std::string& buffer) const {
        return store_.textIn(field, buffer);
    }
    void setText(Field field, std::string_view text) {
        forget(field);
        store_.setText(field, text);
    }

    // The field's number; an empty field fails with emptyMessage when given.
    [[nodiscard]] double read(Field field, std::string_view emptyMessage = {}) const {
        const auto k = static_cast<std::size_t>(field);
        if (unseen_ && (valued_ >> k & 1U) != 0) { // inline: most reads are of a number already known
            return values_[k];
        }
        return readText(field, emptyMessage);
    }
    // A number within a field's text, as a field's own text is read.
    [[nodiscard]] ParsedNumber parse(std::string_view text) const { return numbers_.parse(text); }
    // Plain text first, then read back and rewritten in the three-decimal form.
    void writeComputed(Field field, double value);
    // Rewrites a field's own number in the three-decimal form.
    void rewrite(Field field);

  private:
    // The field's number from its text.
    [[nodiscard]] double readText(Field field, std::string_view emptyMessage) const;
    void remember(Field field, const NumberText::Shown& shown);
    // Keeps text's number for the next read of the field.
    void note(Field field, std::string_view text, double value) const;
    void forget(Field field) { valued_ &= ~(std::uint64_t{1} << static_cast<std::size_t>(field)); }
    [[nodiscard]] KnownNumber& entry(Field field) const {
        const auto k = static_cast<std::size_t>(field);
        return k < kWindowFieldCount ? (*known_)[k] : offWindow_;
    }

    FieldStore& store_;
    const NumberText& numbers_;
    const bool unseen_; // the store's keepsTextsUnseen(), asked once per press
    // Only the window's fields get their own entry, so the window's press
    // builds no more of them than it reads; a store that keeps texts unseen
    // needs none.
    mutable std::optional<std::array<KnownNumber, kWindowFieldCount>> known_;
    // Keyed on the text, one entry serves every field the window lacks.
    mutable KnownNumber offWindow_;
    // For a store that keeps texts unseen: it hands back exactly the text it
    // was given, and only this press writes it, so a field's number stays
    // right until the press itself writes the field again; no text is kept.
    // Only the entries valued_ marks are ever read.
    mutable std::array<double, kFieldCount> values_; // NOLINT(cppcoreguidelines-pro-type-member-init)
    mutable std::uint64_t valued_ = 0;
    static_assert(kFieldCount <= 64, "valued_ has one bit per field");
};

// The value, unless it overflowed because the source field's number is too large.
double checkOverflow(double value, Field source);

} // namespace vistrel::detail
