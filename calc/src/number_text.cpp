#include "calc/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace vistrel {

NumberFormat NumberFormat::invariant() { return {}; }

NumberFormat NumberFormat::usEnglish() {
    NumberFormat f;
    f.group.push_back(',');
    return f;
}

namespace {

bool isDirectionMark(char32_t c) { return c == 0x061C || c == 0x200E || c == 0x200F; }

// Decodes UTF-8 into out (room for in.size() code points), dropping direction
// marks. Malformed UTF-8 makes the whole text a non-number rather than letting
// a stray byte vanish. Returns the count written, or -1.
std::ptrdiff_t decodeUtf8(std::string_view in, char32_t* out) {
    char32_t* const begin = out;
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            *out++ = lead;
            ++i;
            continue;
        }
        std::size_t extra = 0;
        char32_t cp = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return -1;
        }
        if (i + extra >= in.size()) {
            return -1;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(in[i + k]);
            if ((cont & 0xC0) != 0x80) {
                return -1;
            }
            cp = (cp << 6) | (cont & 0x3F);
        }
        static constexpr std::array<char32_t, 4> kMinForLength{0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return -1;
        }
        if (!isDirectionMark(cp)) {
            *out++ = cp;
        }
        i += extra + 1;
    }
    return out - begin;
}

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F; }

bool isSpaceLike(char32_t c) { return c == U' ' || c == 0x00A0 || c == 0x202F; }

std::u32string withoutMarks(std::string_view utf8) {
    std::u32string s(utf8.size(), U'\0');
    const std::ptrdiff_t n = decodeUtf8(utf8, s.data());
    s.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return s;
}

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

// The value's decimal expansion to 15 significant digits:
// value = d0.d1...d14 x 10^exponent.
struct Expansion {
    bool negative = false;
    std::array<char, 15> digits{};
    int exponent = 0;
};

// Reads to_chars' scientific output "[-]d[.ddd]e[+-]xx" into e; returns the digit count.
std::size_t readScientific(const char* p, const char* end, Expansion& e, std::array<char, 17>& digits) {
    std::size_t n = 0;
    if (*p == '-') {
        e.negative = true;
        ++p;
    }
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            digits[n++] = *p;
        }
    }
    ++p;
    const bool negativeExponent = *p == '-';
    int exponent = 0;
    for (++p; p != end; ++p) {
        exponent = exponent * 10 + (*p - '0');
    }
    e.exponent = negativeExponent ? -exponent : exponent;
    return n;
}

constexpr std::array<double, 23> kPowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The usual magnitudes, without a general conversion: the exact product
// |value| x 10^k is p + err (fma makes err exact), so the nearest integer to
// it is known exactly. Returns false on a tie or an awkward edge, where the
// general path decides instead.
bool expandFast(double value, Expansion& e) {
    const double a = std::fabs(value);
    if (!(a >= 1e-7 && a < 1e15)) {
        return false;
    }
    // The binary exponent gives the decade, or one below it; the loop corrects that.
    int e10 = static_cast<int>(std::floor(std::ilogb(a) * 0.30102999566398120));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = 14 - e10;
        if (k < 0 || k > 22) {
            return false;
        }
        const double power = kPowersOfTen[static_cast<std::size_t>(k)];
        const double p = a * power;
        const double err = std::fma(a, power, -p);
        const double r = std::nearbyint(p);
        const double d = p - r; // exact: the product is p + err, so it is r + d + err
        const bool below = r < 1e14 || (r == 1e14 && (d < 0 || (d == 0 && err < 0)));
        const bool above = r > 1e15 || (r == 1e15 && (d > 0 || (d == 0 && err >= 0)));
        if (below || above) { // log10 missed the decade by one
            e10 += below ? -1 : 1;
            continue;
        }
        double n = r;
        if (d == 0.5 || d == -0.5) {
            if (err == 0.0) {
                return false;
            }
            if ((d > 0) == (err > 0)) {
                n += d > 0 ? 1 : -1;
            }
        }
        if (n == 1e15) { // rounded up into the next decade
            n = 1e14;
            ++e10;
        }
        const auto digits = static_cast<std::uint64_t>(n);
        auto high = static_cast<std::uint32_t>(digits / 100'000'000); // 7 digits
        auto low = static_cast<std::uint32_t>(digits % 100'000'000);  // 8 digits
        for (std::size_t i = e.digits.size(); i-- > 7;) {
            e.digits[i] = static_cast<char>('0' + low % 10);
            low /= 10;
        }
        for (std::size_t i = 7; i-- > 0;) {
            e.digits[i] = static_cast<char>('0' + high % 10);
            high /= 10;
        }
        e.negative = value < 0;
        e.exponent = e10;
        return true;
    }
    return false;
}

Expansion expand(double value) {
    Expansion e;
    if (expandFast(value, e)) {
        return e;
    }
    std::array<char, 40> buf{};
    std::array<char, 17> digits{};
    // The shortest round-trip digits round to the same 15 digits as the exact
    // binary value, except when they sit exactly on a tie; only then is the
    // slower fixed-precision conversion needed.
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    const std::size_t n = readScientific(buf.data(), res.ptr, e, digits);
    if (n == 16 && digits[15] == '5') {
        res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific, 14);
        e = Expansion{};
        readScientific(buf.data(), res.ptr, e, digits);
        std::copy_n(digits.begin(), e.digits.size(), e.digits.begin());
        return e;
    }
    std::fill(e.digits.begin(), e.digits.end(), '0');
    std::copy_n(digits.begin(), std::min(n, e.digits.size()), e.digits.begin());
    if (n > e.digits.size() && digits[15] >= '5') {
        std::size_t k = e.digits.size();
        while (k > 0 && e.digits[k - 1] == '9') {
            e.digits[--k] = '0';
        }
        if (k == 0) {
            e.digits[0] = '1';
            ++e.exponent;
        } else {
            ++e.digits[k - 1];
        }
    }
    return e;
}

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
    // Texts are short; decode on the stack unless one is not.
    std::array<char32_t, 64> small; // NOLINT(cppcoreguidelines-pro-type-member-init): filled before use
    std::u32string large;
    char32_t* buffer = small.data();
    if (text.size() > small.size()) {
        large.resize(text.size());
        buffer = large.data();
    }
    const std::ptrdiff_t decoded = decodeUtf8(text, buffer);
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
    const auto readSign = [&] {
        if (i < t.size() && t[i] == U'+') {
            ++i;
            return false;
        }
        const std::size_t n = matchAny(minusSigns_);
        i += n;
        return n > 0;
    };

    const bool negative = readSign();

    // Mantissa digits, integer and fraction together; groups are checked as
    // each separator and the end of the integer part go by.
    DigitBuffer digits;
    std::size_t intDigits = 0;
    std::size_t separators = 0;
    int groupLength = 0;
    bool inFraction = false;
    const auto groupEndsWell = [&](bool last) {
        if (separators == 0) {
            return true;
        }
        if (last) {
            return groupLength == format_.groupFirst;
        }
        if (separators == 1) { // the leading group
            return groupLength >= 1 && groupLength <= format_.groupHigher && digits.view().front() != '0';
        }
        return groupLength == format_.groupHigher;
    };
    while (i < t.size()) {
        if (const int d = digitAt(i); d >= 0) {
            digits.push_back(static_cast<char>('0' + d));
            if (!inFraction) {
                ++intDigits;
                ++groupLength;
            }
            ++i;
        } else if (!inFraction && !decimal_.empty() && t.substr(i).starts_with(decimal_)) {
            if (!groupEndsWell(true)) {
                return kNotANumber;
            }
            inFraction = true;
            i += decimal_.size();
        } else if (const std::size_t n = inFraction ? 0 : matchAny(groupSeparators_); n > 0) {
            ++separators;
            if (!groupEndsWell(false)) {
                return kNotANumber;
            }
            groupLength = 0;
            i += n;
        } else {
            break;
        }
    }
    const std::string_view all = digits.view();
    if (all.empty() || (!inFraction && !groupEndsWell(true))) {
        return kNotANumber;
    }

    std::int64_t exponent = 0;
    if (i < t.size() && (t[i] == U'e' || t[i] == U'E')) {
        ++i;
        const bool expNegative = readSign();
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

namespace {

// value = 0.d0 d1 ... d(count-1) x 10^intLength, so intLength digits stand
// before the point (zeros past count, leading zeros after the point if negative).
struct Decimal {
    bool negative = false;
    std::array<char, 15> digits{};
    int count = 0;
    int intLength = 0;
};

Decimal fromExpansion(const Expansion& e) {
    Decimal d;
    d.negative = e.negative;
    d.digits = e.digits;
    d.count = static_cast<int>(e.digits.size());
    d.intLength = e.exponent + 1;
    while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count) - 1] == '0') {
        --d.count;
    }
    if (d.count == 0) {
        d.negative = false;
    }
    return d;
}

// Rounds by hand to three decimals, halves away from zero.
Decimal roundedToThousandths(double value) {
    Decimal d = fromExpansion(expand(value));
    const int keep = d.intLength + 3; // digits up to and including the third decimal
    if (d.count <= keep) {
        return d;
    }
    const bool up = keep >= 0 && d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.count = std::max(keep, 0);
    if (up) {
        int k = d.count;
        while (k > 0 && d.digits[static_cast<std::size_t>(k) - 1] == '9') {
            --k;
        }
        if (k == 0) { // 0.9995 becomes 1.000, and 0.0005 becomes 0.001
            d.digits[0] = '1';
            d.count = 1;
            ++d.intLength;
        } else {
            ++d.digits[static_cast<std::size_t>(k) - 1];
            d.count = k;
        }
    }
    while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count) - 1] == '0') {
        --d.count;
    }
    if (d.count == 0) {
        d.negative = false; // never "-0.000"
    }
    return d;
}

char digitAt(const Decimal& d, int index) {
    return index >= 0 && index < d.count ? d.digits[static_cast<std::size_t>(index)] : '0';
}

// Digits, separators and sign in the format's own texts, one character at a time.
template <typename Out>
void renderInto(Out& out, const NumberFormat& f, const Decimal& d, int fractionDigits, bool grouped) {
    if (d.negative) {
        out.append(f.minus);
    }
    const int n = std::max(d.intLength, 1);
    const bool group =
        grouped && !f.group.empty() && f.groupFirst > 0 && f.groupHigher > 0 && n - f.groupFirst >= f.groupMinLeading;
    for (int k = 0; k < n; ++k) {
        const int fromRight = n - k; // digits from here to the point
        if (group && k > 0 &&
            (fromRight == f.groupFirst ||
             (fromRight > f.groupFirst && (fromRight - f.groupFirst) % f.groupHigher == 0))) {
            out.append(f.group);
        }
        out.digit(d.intLength > 0 ? digitAt(d, k) : '0');
    }
    if (fractionDigits > 0) {
        out.append(f.decimal);
        for (int j = 0; j < fractionDigits; ++j) {
            out.digit(digitAt(d, d.intLength + j));
        }
    }
}

// Writes into a fixed buffer, enough for every usual number; overflowed() says when not.
class ShortText {
  public:
    explicit ShortText(const NumberFormat& f) : format_(f) {}
    void append(const std::string& piece) {
        if (size_ + piece.size() > buffer_.size()) {
            overflow_ = true;
            return;
        }
        std::memcpy(buffer_.data() + size_, piece.data(), piece.size());
        size_ += piece.size();
    }
    void digit(char ascii) { append(format_.digits[static_cast<std::size_t>(ascii - '0')]); }
    [[nodiscard]] bool overflowed() const { return overflow_; }
    [[nodiscard]] std::string str() const { return {buffer_.data(), size_}; }

  private:
    const NumberFormat& format_;
    std::array<char, 64> buffer_; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::size_t size_ = 0;
    bool overflow_ = false;
};

class LongText {
  public:
    explicit LongText(const NumberFormat& f) : format_(f) {}
    void append(const std::string& piece) { text += piece; }
    void digit(char ascii) { text += format_.digits[static_cast<std::size_t>(ascii - '0')]; }
    std::string text;

  private:
    const NumberFormat& format_;
};

std::string render(const NumberFormat& f, const Decimal& d, int fractionDigits, bool grouped) {
    ShortText fast(f);
    renderInto(fast, f, d, fractionDigits, grouped);
    if (!fast.overflowed()) {
        return fast.str();
    }
    LongText slow(f);
    renderInto(slow, f, d, fractionDigits, grouped);
    return std::move(slow.text);
}

} // namespace

std::string NumberText::plain(double value) const {
    const Decimal d = fromExpansion(expand(value));
    return render(format_, d, std::max(d.count - d.intLength, 0), false);
}

std::string NumberText::threeDecimals(double value) const {
    return render(format_, roundedToThousandths(value), 3, true);
}

namespace {

double valueOf(const Decimal& d) {
    const int length = d.intLength + 3; // digits of the value in thousandths
    if (length <= 15) {
        // Below 10^15 thousandths are exact, and one correctly rounded division
        // gives the same double as reading the decimal text.
        double thousandths = 0.0;
        for (int k = 0; k < length; ++k) {
            thousandths = thousandths * 10 + (digitAt(d, k) - '0');
        }
        return (d.negative ? -thousandths : thousandths) / 1000.0;
    }
    std::string text(d.digits.data(), static_cast<std::size_t>(d.count));
    text += 'e';
    text += std::to_string(d.intLength - d.count);
    double result = 0.0;
    if (std::from_chars(text.data(), text.data() + text.size(), result).ec == std::errc::result_out_of_range) {
        result = std::numeric_limits<double>::infinity();
    }
    return d.negative ? -result : result;
}

} // namespace

double NumberText::roundThreeDecimals(double value) { return valueOf(roundedToThousandths(value)); }

NumberText::Shown NumberText::showThreeDecimals(double value) const {
    const Decimal d = roundedToThousandths(value);
    return {render(format_, d, 3, true), valueOf(d)};
}

} // namespace vistrel
