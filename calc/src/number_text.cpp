// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/number_text.h"

#include "decimal_expansion.h"
#include "number_render.h"
#include "utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vistrel {

namespace {

bool isSpaceLike(char32_t c) { return c == U' ' || c == 0x00A0 || c == 0x202F; }

// A decimal that cannot be mistaken for a sign, digit, exponent or blank.
char asciiDecimalOf(const std::string& decimal) {
    if (decimal.size() != 1) {
        return 0;
    }
    const char c = decimal[0];
    const bool plain = static_cast<unsigned char>(c) < 0x80 && c > ' ' && (c < '0' || c > '9') && c != '-' &&
                       c != '+' && c != 'e' && c != 'E';
    return plain ? c : char{0};
}

// NaN and the infinities have no digits to show: they are written in words,
// the same in every form and format ("nan", "inf", the format's minus then
// "inf"), so that no text of one reads back as a number.
std::string nonFinite(double value, const std::string& minus) {
    if (std::isnan(value)) {
        return "nan";
    }
    return value < 0 ? minus + "inf" : "inf";
}

} // namespace

NumberText::NumberText(const NumberFormat& format)
    : format_(format), glyphs_(detail::glyphsOf(format)), decimal_(detail::withoutMarks(format.decimal)) {
    const auto addMinus = [this](std::u32string sign) {
        if (!sign.empty() && std::find(minusSigns_.begin(), minusSigns_.end(), sign) == minusSigns_.end()) {
            minusSigns_.push_back(std::move(sign));
        }
    };
    addMinus(U"-");
    addMinus(U"\u2212");
    addMinus(detail::withoutMarks(format.minus));

    const std::u32string group = detail::withoutMarks(format.group);
    if (!group.empty() && format.groupFirst > 0) {
        if (group.size() == 1 && isSpaceLike(group[0])) {
            groupSeparators_ = {U" ", U"\u00A0", U"\u202F"};
        } else {
            groupSeparators_.push_back(group);
            if (group == U"\u2019") {
                groupSeparators_.emplace_back(U"'");
            }
        }
    }
    for (std::size_t d = 0; d < 10; ++d) {
        const std::u32string native = detail::withoutMarks(format.digits[d]);
        nativeDigits_[d] = native.size() == 1 ? native[0] : static_cast<char32_t>(U'0' + d);
    }
    // A native digit that looks like the decimal would make it a digit.
    const char decimal = asciiDecimalOf(format.decimal);
    const bool taken =
        std::find(nativeDigits_.begin(), nativeDigits_.end(), static_cast<char32_t>(decimal)) != nativeDigits_.end();
    asciiDecimal_ = taken ? char{0} : decimal;
}

std::string NumberText::plain(double value) const {
    if (!std::isfinite(value)) {
        return nonFinite(value, format_.minus);
    }
    const detail::Decimal d = detail::expand(value);
    return detail::render(format_, glyphs_, d, std::max(d.count - d.intLength, 0), false);
}

std::string NumberText::threeDecimals(double value) const { return std::string(showThreeDecimals(value).text.view()); }

double NumberText::roundThreeDecimals(double value) {
    if (std::uint64_t thousandths = 0; detail::thousandthsOf(value, thousandths)) {
        return detail::valueOfThousandths(std::signbit(value), thousandths);
    }
    if (!std::isfinite(value)) {
        return value;
    }
    return detail::valueOf(detail::roundedToThousandths(detail::expand(value)));
}

NumberText::Shown NumberText::showThreeDecimals(double value) const {
    if (std::uint64_t thousandths = 0; detail::thousandthsOf(value, thousandths)) {
        const bool negative = std::signbit(value);
        return {detail::renderThousandths(format_, glyphs_, negative, thousandths),
                detail::valueOfThousandths(negative, thousandths)};
    }
    if (!std::isfinite(value)) {
        return {InlineText(nonFinite(value, format_.minus)), value};
    }
    const detail::Decimal d = detail::roundedToThousandths(detail::expand(value));
    return {InlineText(detail::render(format_, glyphs_, d, 3, true)), detail::valueOf(d)};
}

NumberText::BothForms NumberText::bothForms(double value) const {
    if (!std::isfinite(value)) {
        const std::string text = nonFinite(value, format_.minus);
        return {text, {InlineText(text), value}};
    }
    const detail::Decimal d = detail::expand(value);
    const detail::Decimal rounded = detail::roundedToThousandths(d);
    return {detail::render(format_, glyphs_, d, std::max(d.count - d.intLength, 0), false),
            {InlineText(detail::render(format_, glyphs_, rounded, 3, true)), detail::valueOf(rounded)}};
}

} // namespace vistrel
