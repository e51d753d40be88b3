// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/number_text.h"

#include "decimal_expansion.h"
#include "utf8.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>

namespace vistrel {

namespace {

using detail::kPowersOfTen;

constexpr ParsedNumber kNotANumber{0.0, ParseError::NotANumber};

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F; }

// Digits of a typed number, on the stack for every usual length.
class DigitBuffer {
  public:
    void push_back(char c) {
        if (size_ < inline_.size()) {
            inline_[size_] = c;
        } else {
            if (size_ == inline_.size()) {
                spill_.assign(inline_.data(), size_);
            }
            spill_.push_back(c);
        }
        ++size_;
    }
    [[nodiscard]] std::string_view view() const {
        return size_ <= inline_.size() ? std::string_view(inline_.data(), size_) : std::string_view(spill_);
    }

  private:
    std::array<char, 48> inline_; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::string spill_;
    std::size_t size_ = 0;
};

// The mantissa's digits, integer and fraction together.
struct Mantissa {
    DigitBuffer digits;
    std::size_t intDigits = 0;
};

struct Grouping {
    int first;
    int higher;
};

// Walks a decoded, trimmed text in the format's terms.
class Reader {
  public:
    Reader(std::u32string_view text, const std::u32string& decimal, const std::vector<std::u32string>& minusSigns,
           const std::vector<std::u32string>& groupSeparators, const std::array<char32_t, 10>& nativeDigits,
           Grouping grouping)
        : t_(text), decimal_(decimal), minusSigns_(minusSigns), groupSeparators_(groupSeparators),
          nativeDigits_(nativeDigits), grouping_(grouping) {}

    [[nodiscard]] bool atEnd() const { return i_ == t_.size(); }

    // True for a minus sign, false for a plus sign or none.
    bool readSign() {
        if (i_ < t_.size() && t_[i_] == U'+') {
            ++i_;
            return false;
        }
        const std::size_t n = matchAny(minusSigns_);
        i_ += n;
        return n > 0;
    }

    // Integer and fraction digits; groups are checked as each separator and
    // the end of the integer part go by.
    bool readMantissa(Mantissa& m) {
        std::size_t separators = 0;
        int groupLength = 0;
        bool inFraction = false;
        const auto groupEndsWell = [&](bool last) {
            if (separators == 0) {
                return true;
            }
            if (last) {
                return groupLength == grouping_.first;
            }
            if (separators == 1) { // the leading group
                return groupLength >= 1 && groupLength <= grouping_.higher && m.digits.view().front() != '0';
            }
            return groupLength == grouping_.higher;
        };
        while (i_ < t_.size()) {
            if (const int d = digitAt(i_); d >= 0) {
                m.digits.push_back(static_cast<char>('0' + d));
                if (!inFraction) {
                    ++m.intDigits;
                    ++groupLength;
                }
                ++i_;
            } else if (!inFraction && !decimal_.empty() && t_.substr(i_).starts_with(decimal_)) {
                if (!groupEndsWell(true)) {
                    return false;
                }
                inFraction = true;
                i_ += decimal_.size();
            } else if (const std::size_t n = inFraction ? 0 : matchAny(groupSeparators_); n > 0) {
                ++separators;
                if (!groupEndsWell(false)) {
                    return false;
                }
                groupLength = 0;
                i_ += n;
            } else {
                break;
            }
        }
        return !m.digits.view().empty() && (inFraction || groupEndsWell(true));
    }

    // The power of ten after an 'e', 0 without one; nothing when it has no digits.
    std::optional<std::int64_t> readExponent() {
        if (i_ == t_.size() || (t_[i_] != U'e' && t_[i_] != U'E')) {
            return 0;
        }
        ++i_;
        const bool negative = readSign();
        const std::size_t start = i_;
        std::int64_t exponent = 0;
        for (int d = 0; i_ < t_.size() && (d = digitAt(i_)) >= 0; ++i_) {
            // Saturate: past this any mantissa over- or underflows anyway.
            exponent = std::min<std::int64_t>(exponent * 10 + d, 1'000'000'000);
        }
        if (i_ == start) {
            return std::nullopt;
        }
        return negative ? -exponent : exponent;
    }

  private:
    std::size_t matchAny(const std::vector<std::u32string>& options) const {
        for (const auto& o : options) {
            if (t_.substr(i_).starts_with(o)) {
                return o.size();
            }
        }
        return 0;
    }

    [[nodiscard]] int digitAt(std::size_t k) const {
        const char32_t c = t_[k];
        if (c >= U'0' && c <= U'9') {
            return static_cast<int>(c - U'0');
        }
        for (std::size_t d = 0; d < nativeDigits_.size(); ++d) {
            if (nativeDigits_[d] == c) {
                return static_cast<int>(d);
            }
        }
        return -1;
    }

    std::u32string_view t_;
    std::size_t i_ = 0;
    const std::u32string& decimal_;
    const std::vector<std::u32string>& minusSigns_;
    const std::vector<std::u32string>& groupSeparators_;
    const std::array<char32_t, 10>& nativeDigits_;
    Grouping grouping_;
};

// The double nearest to the digits x 10^(exponent - fraction digits).
ParsedNumber toDouble(bool negative, std::string_view all, std::size_t intDigits, std::int64_t exponent) {
    const double sign = negative ? -1.0 : 1.0;
    const std::size_t lead = all.find_first_not_of('0');
    if (lead == std::string::npos) {
        return {sign * 0.0, ParseError::None};
    }
    const std::size_t end = all.find_last_not_of('0') + 1;
    // value = 0.<significant digits> x 10^order
    const std::int64_t order = static_cast<std::int64_t>(intDigits) - static_cast<std::int64_t>(lead) + exponent;
    if (order > 400) {
        return {0.0, ParseError::Overflow};
    }
    if (order < -400) {
        return {sign * 0.0, ParseError::None};
    }
    const std::string_view significand = all.substr(lead, end - lead);
    const std::int64_t scale = order - static_cast<std::int64_t>(significand.size());
    // Up to 15 digits and a power of ten up to 10^22 are both exact doubles, so
    // one correctly rounded multiply or divide gives the correctly rounded value.
    if (significand.size() <= 15 && scale >= -22 && scale <= 22) {
        double whole = 0.0;
        for (const char c : significand) {
            whole = whole * 10 + (c - '0');
        }
        const double power = kPowersOfTen[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
        return {sign * (scale < 0 ? whole / power : whole * power), ParseError::None};
    }
    // Integer significand and exponent, which from_chars reads without a point.
    std::string canonical(significand);
    std::array<char, 24> exp{};
    const auto expEnd = std::to_chars(exp.data(), exp.data() + exp.size(), scale).ptr;
    canonical += 'e';
    canonical.append(exp.data(), expEnd);
    double value = 0.0;
    const auto res = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        if (order > 0) {
            return {0.0, ParseError::Overflow};
        }
        return {sign * 0.0, ParseError::None};
    }
    if (res.ec != std::errc{} || res.ptr != canonical.data() + canonical.size()) {
        return kNotANumber;
    }
    return {sign * value, ParseError::None};
}

// The common text of up to 15 ASCII digits, an optional leading '-' and at
// most one decimal: N digits with k after the decimal are N / 10^k, one
// correctly rounded division of exact doubles, which is the value the general
// reading computes for the same digits. Anything else returns nothing.
std::optional<ParsedNumber> readSimple(std::string_view text, char decimal) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) {
        ++i;
    }
    std::uint64_t whole = 0;
    int digits = 0;
    int fraction = -1; // digits after the decimal; -1 before it
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
            if (fraction >= 0) {
                ++fraction;
            }
        } else if (c == decimal && decimal != 0 && fraction < 0) {
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || digits > 15) {
        return std::nullopt;
    }
    // Below 10^15: the signed conversion, one instruction, is exact too.
    double value = static_cast<double>(static_cast<std::int64_t>(whole));
    if (fraction > 0) {
        value /= kPowersOfTen[static_cast<std::size_t>(fraction)];
    }
    return ParsedNumber{negative ? -value : value, ParseError::None};
}

} // namespace

ParsedNumber NumberText::parse(std::string_view text) const {
    if (const auto simple = readSimple(text, asciiDecimal_)) {
        return *simple;
    }
    return parseDecoded(text);
}

// Apart from parse, so that the usual text does not pay for this one's stack.
ParsedNumber NumberText::parseDecoded(std::string_view text) const {
    // Texts are short; decode on the stack unless one is not.
    std::array<char32_t, 64> small; // NOLINT(cppcoreguidelines-pro-type-member-init): filled before use
    std::u32string large;
    char32_t* buffer = small.data();
    if (text.size() > small.size()) {
        large.resize(text.size());
        buffer = large.data();
    }
    const std::ptrdiff_t decoded = detail::decodeUtf8(text, buffer);
    if (decoded < 0) {
        return kNotANumber;
    }
    std::u32string_view t(buffer, static_cast<std::size_t>(decoded));
    while (!t.empty() && isBlank(t.front())) {
        t.remove_prefix(1);
    }
    while (!t.empty() && isBlank(t.back())) {
        t.remove_suffix(1);
    }
    if (t.empty()) {
        return {0.0, ParseError::Empty};
    }

    Reader reader(t, decimal_, minusSigns_, groupSeparators_, nativeDigits_, {format_.groupFirst, format_.groupHigher});
    const bool negative = reader.readSign();
    Mantissa mantissa;
    if (!reader.readMantissa(mantissa)) {
        return kNotANumber;
    }
    const std::optional<std::int64_t> exponent = reader.readExponent();
    if (!exponent || !reader.atEnd()) {
        return kNotANumber;
    }
    return toDouble(negative, mantissa.digits.view(), mantissa.intDigits, *exponent);
}

} // namespace vistrel
