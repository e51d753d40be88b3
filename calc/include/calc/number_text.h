// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/inline_text.h"
#include "calc/number_format.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

enum class ParseError {
    None,
    Empty,      // nothing but blanks and direction marks
    NotANumber, // anything the format does not accept
    Overflow,   // a number too large for a double
};

struct ParsedNumber {
    double value = 0.0;
    ParseError error = ParseError::None;

    [[nodiscard]] bool ok() const { return error == ParseError::None; }
};

namespace number_detail {

// A piece of the format's text kept inline, so writing a digit copies no string.
struct Piece {
    std::array<char, 7> bytes{};
    std::uint8_t size = 0;
};

// The format's pieces for writing; fits is false when one is too long to
// keep inline, and the writers then take the format's strings.
struct Glyphs {
    std::array<Piece, 10> digits{};
    Piece decimal;
    Piece group;
    Piece minus;
    bool fits = true;
    // Every piece is one byte (the group may be none), so a writer can store bytes.
    bool singleBytes = false;
    // With singleBytes: the digits of 00 to 99, two bytes each, so a writer can store two at once.
    std::array<char, 200> pairs{};
};

} // namespace number_detail

// Reads and writes number texts in one NumberFormat. Building one decodes the
// format once, so a calculation can convert many texts cheaply.
//
// Writing: plain text has up to 15 significant digits, no grouping, no
// trailing zeros and never an exponent. The three-decimal form takes the
// 15-digit decimal expansion and rounds it to three decimals by hand (halves
// away from zero), groups the integer part, and never writes "-0.000".
// NaN and the infinities are written in words, "nan", "inf" and the format's
// minus then "inf", in both forms.
// Reading accepts everything either writer produces from a finite number, in
// any format, and refuses those words.
class NumberText {
  public:
    explicit NumberText(const NumberFormat& format);

    [[nodiscard]] const NumberFormat& format() const { return format_; }
    [[nodiscard]] ParsedNumber parse(std::string_view text) const;
    [[nodiscard]] std::string plain(double value) const;
    [[nodiscard]] std::string threeDecimals(double value) const;

    // The number that the three-decimal form of value shows.
    [[nodiscard]] static double roundThreeDecimals(double value);

    struct Shown {
        InlineText text;
        double value; // what reading text gives back
    };
    // The three-decimal form together with its number, in one step.
    [[nodiscard]] Shown showThreeDecimals(double value) const;

    struct BothForms {
        std::string plain;
        Shown shown;
    };
    // The plain text and the three-decimal form, from one decimal expansion.
    [[nodiscard]] BothForms bothForms(double value) const;

  private:
    // Any text, decoded from UTF-8 and read in the format's terms.
    [[nodiscard]] ParsedNumber parseDecoded(std::string_view text) const;

    NumberFormat format_;
    number_detail::Glyphs glyphs_;
    std::u32string decimal_;
    std::vector<std::u32string> minusSigns_;
    std::vector<std::u32string> groupSeparators_;
    std::array<char32_t, 10> nativeDigits_{};
    // The format's decimal when it is one ASCII character other than a digit;
    // texts of ASCII digits around it then read without decoding.
    char asciiDecimal_ = 0;
    bool asciiMinus_ = false; // the format's minus is "-"
};

} // namespace vistrel
