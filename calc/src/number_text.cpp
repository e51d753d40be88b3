#include "calc/number_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace vistrel {

NumberFormat NumberFormat::invariant() { return {}; }

NumberFormat NumberFormat::usEnglish() {
    NumberFormat f;
    f.group = ",";
    return f;
}

namespace {

// Malformed UTF-8 turns the whole text into a non-number rather than
// letting a stray byte vanish.
bool decodeUtf8(std::string_view in, std::u32string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<unsigned char>(in[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= in.size()) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(in[i + k]);
            if ((cont & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cont & 0x3F);
        }
        static constexpr char32_t kMinForLength[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool isDirectionMark(char32_t c) { return c == 0x061C || c == 0x200E || c == 0x200F; }

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F; }

bool isSpaceLike(char32_t c) { return c == U' ' || c == 0x00A0 || c == 0x202F; }

void eraseDirectionMarks(std::u32string& s) { std::erase_if(s, isDirectionMark); }

std::u32string withoutMarks(std::string_view utf8) {
    std::u32string s;
    if (!decodeUtf8(utf8, s)) {
        return {};
    }
    eraseDirectionMarks(s);
    return s;
}

// The value's decimal expansion to 15 significant digits:
// value = d0.d1...d14 x 10^exponent.
struct Expansion {
    bool negative = false;
    std::array<char, 15> digits{};
    int exponent = 0;

    [[nodiscard]] bool isZero() const { return digits[0] == '0'; }
};

Expansion expand(double value) {
    std::array<char, 40> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific, 14);
    Expansion e;
    const char* p = buf.data();
    if (*p == '-') {
        e.negative = true;
        ++p;
    }
    e.digits[0] = *p++;
    ++p; // the point
    for (std::size_t k = 1; k < e.digits.size(); ++k) {
        e.digits[k] = *p++;
    }
    ++p; // 'e'
    if (*p == '+') {
        ++p;
    }
    std::from_chars(p, res.ptr, e.exponent);
    return e;
}

// Thousandths of |value|, rounded by hand from its 15-digit expansion, as ASCII digits.
std::string thousandths(const Expansion& e) {
    if (e.isZero()) {
        return "0";
    }
    const int keep = e.exponent + 4; // digits up to and including the third decimal
    if (keep <= 0) {
        return keep == 0 && e.digits[0] >= '5' ? "1" : "0";
    }
    std::string n;
    n.reserve(static_cast<std::size_t>(keep) + 1);
    for (int k = 0; k < keep; ++k) {
        n.push_back(k < 15 ? e.digits[static_cast<std::size_t>(k)] : '0');
    }
    if (keep < 15 && e.digits[static_cast<std::size_t>(keep)] >= '5') {
        auto k = n.size();
        while (k > 0 && n[k - 1] == '9') {
            n[--k] = '0';
        }
        if (k == 0) {
            n.insert(n.begin(), '1');
        } else {
            ++n[k - 1];
        }
    }
    return n;
}

bool allZeros(std::string_view digits) { return digits.find_first_not_of('0') == std::string_view::npos; }

} // namespace

NumberText::NumberText(const NumberFormat& format) : format_(format), decimal_(withoutMarks(format.decimal)) {
    const auto addMinus = [this](std::u32string sign) {
        if (!sign.empty() && std::find(minusSigns_.begin(), minusSigns_.end(), sign) == minusSigns_.end()) {
            minusSigns_.push_back(std::move(sign));
        }
    };
    addMinus(U"-");
    addMinus(U"\u2212");
    addMinus(withoutMarks(format.minus));

    const std::u32string group = withoutMarks(format.group);
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
        const std::u32string native = withoutMarks(format.digits[d]);
        nativeDigits_[d] = native.size() == 1 ? native[0] : static_cast<char32_t>(U'0' + d);
    }
}

ParsedNumber NumberText::parse(std::string_view text) const {
    constexpr ParsedNumber kNotANumber{0.0, ParseError::NotANumber};
    std::u32string s;
    if (!decodeUtf8(text, s)) {
        return kNotANumber;
    }
    eraseDirectionMarks(s);
    const auto first = std::find_if_not(s.begin(), s.end(), isBlank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), isBlank).base();
    if (first >= last) {
        return {0.0, ParseError::Empty};
    }
    const std::u32string_view t(&*first, static_cast<std::size_t>(last - first));
    std::size_t i = 0;

    const auto matchAny = [&](const std::vector<std::u32string>& options) -> std::size_t {
        for (const auto& o : options) {
            if (t.substr(i).starts_with(o)) {
                return o.size();
            }
        }
        return 0;
    };
    const auto digitAt = [&](std::size_t k) -> int {
        const char32_t c = t[k];
        if (c >= U'0' && c <= U'9') {
            return static_cast<int>(c - U'0');
        }
        for (std::size_t d = 0; d < 10; ++d) {
            if (nativeDigits_[d] == c) {
                return static_cast<int>(d);
            }
        }
        return -1;
    };
    // Returns true when a sign was read; sets negative for a minus.
    const auto readSign = [&](bool& negative) {
        negative = false;
        if (i < t.size() && t[i] == U'+') {
            ++i;
            return;
        }
        if (const std::size_t n = matchAny(minusSigns_); n > 0) {
            negative = true;
            i += n;
        }
    };

    bool negative = false;
    readSign(negative);

    std::string intDigits;
    std::string fracDigits;
    std::vector<int> groups;
    int groupLength = 0;
    bool inFraction = false;
    while (i < t.size()) {
        if (const int d = digitAt(i); d >= 0) {
            (inFraction ? fracDigits : intDigits).push_back(static_cast<char>('0' + d));
            groupLength += inFraction ? 0 : 1;
            ++i;
        } else if (!inFraction && !decimal_.empty() && t.substr(i).starts_with(decimal_)) {
            inFraction = true;
            i += decimal_.size();
        } else if (const std::size_t n = inFraction ? 0 : matchAny(groupSeparators_); n > 0) {
            groups.push_back(groupLength);
            groupLength = 0;
            i += n;
        } else {
            break;
        }
    }
    if (intDigits.empty() && fracDigits.empty()) {
        return kNotANumber;
    }
    if (!groups.empty()) {
        // The integer's last group ends where the decimal separator (or the text) starts.
        groups.push_back(groupLength);
        if (groups.back() != format_.groupFirst || groups.front() < 1 || groups.front() > format_.groupHigher ||
            intDigits.front() == '0') {
            return kNotANumber;
        }
        for (std::size_t k = 1; k + 1 < groups.size(); ++k) {
            if (groups[k] != format_.groupHigher) {
                return kNotANumber;
            }
        }
    }

    std::int64_t exponent = 0;
    if (i < t.size() && (t[i] == U'e' || t[i] == U'E')) {
        ++i;
        bool expNegative = false;
        readSign(expNegative);
        const std::size_t start = i;
        for (int d = 0; i < t.size() && (d = digitAt(i)) >= 0; ++i) {
            // Saturate: past this any mantissa over- or underflows anyway.
            exponent = std::min<std::int64_t>(exponent * 10 + d, 1'000'000'000);
        }
        if (i == start) {
            return kNotANumber;
        }
        if (expNegative) {
            exponent = -exponent;
        }
    }
    if (i != t.size()) {
        return kNotANumber;
    }

    const std::string all = intDigits + fracDigits;
    const std::size_t lead = all.find_first_not_of('0');
    const double sign = negative ? -1.0 : 1.0;
    if (lead == std::string::npos) {
        return {sign * 0.0, ParseError::None};
    }
    // value = 0.<significant digits> x 10^order
    const std::int64_t order = static_cast<std::int64_t>(intDigits.size()) - static_cast<std::int64_t>(lead) + exponent;
    if (order > 400) {
        return {0.0, ParseError::Overflow};
    }
    if (order < -400) {
        return {sign * 0.0, ParseError::None};
    }
    std::string canonical = "0." + all.substr(lead) + "e" + std::to_string(order);
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

namespace {

struct Rendered {
    bool negative = false;
    std::string integer; // ASCII digits
    std::string fraction;
};

std::string render(const NumberFormat& f, const Rendered& r, bool grouped) {
    std::string out;
    out.reserve(r.integer.size() * 2 + r.fraction.size() + 8);
    if (r.negative) {
        out += f.minus;
    }
    const auto n = static_cast<int>(r.integer.size());
    const bool group =
        grouped && !f.group.empty() && f.groupFirst > 0 && f.groupHigher > 0 && n - f.groupFirst >= f.groupMinLeading;
    // Separator positions, counted in digits from the right.
    int nextBreak = group ? f.groupFirst : n + 1;
    std::vector<bool> breakBefore(static_cast<std::size_t>(n), false);
    while (nextBreak < n) {
        breakBefore[static_cast<std::size_t>(n - nextBreak)] = true;
        nextBreak += f.groupHigher;
    }
    for (int k = 0; k < n; ++k) {
        if (breakBefore[static_cast<std::size_t>(k)]) {
            out += f.group;
        }
        out += f.digits[static_cast<std::size_t>(r.integer[static_cast<std::size_t>(k)] - '0')];
    }
    if (!r.fraction.empty()) {
        out += f.decimal;
        for (const char c : r.fraction) {
            out += f.digits[static_cast<std::size_t>(c - '0')];
        }
    }
    return out;
}

} // namespace

std::string NumberText::plain(double value) const {
    const Expansion e = expand(value);
    if (e.isZero()) {
        return format_.digits[0];
    }
    int significant = 15;
    while (significant > 1 && e.digits[static_cast<std::size_t>(significant) - 1] == '0') {
        --significant;
    }
    const std::string_view digits(e.digits.data(), static_cast<std::size_t>(significant));
    Rendered r;
    r.negative = e.negative;
    if (e.exponent >= 0) {
        const auto intLength = static_cast<std::size_t>(e.exponent) + 1;
        r.integer = std::string(digits.substr(0, intLength));
        r.integer.resize(intLength, '0');
        if (intLength < digits.size()) {
            r.fraction = std::string(digits.substr(intLength));
        }
    } else {
        r.integer = "0";
        r.fraction = std::string(static_cast<std::size_t>(-e.exponent - 1), '0');
        r.fraction += digits;
    }
    return render(format_, r, false);
}

namespace {

Rendered roundedThousandths(double value) {
    const Expansion e = expand(value);
    std::string n = thousandths(e);
    Rendered r;
    r.negative = e.negative && !allZeros(n);
    if (n.size() < 4) {
        n.insert(0, 4 - n.size(), '0');
    }
    r.integer = n.substr(0, n.size() - 3);
    r.fraction = n.substr(n.size() - 3);
    return r;
}

} // namespace

std::string NumberText::threeDecimals(double value) const { return render(format_, roundedThousandths(value), true); }

double NumberText::roundThreeDecimals(double value) {
    const Rendered r = roundedThousandths(value);
    const std::string text = r.integer + "." + r.fraction;
    double result = 0.0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), result);
    if (res.ec == std::errc::result_out_of_range) {
        result = std::numeric_limits<double>::infinity();
    }
    return r.negative ? -result : result;
}

} // namespace vistrel
