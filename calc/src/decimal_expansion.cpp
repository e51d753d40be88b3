// SPDX-License-Identifier: GPL-3.0-or-later
#include "decimal_expansion.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace vistrel::detail {

namespace {

// Digits d0..d14 of a 15-digit integer.
void writeDigits(std::uint64_t n, std::array<char, 15>& digits) {
    auto high = static_cast<std::uint32_t>(n / 100'000'000); // 7 digits
    auto low = static_cast<std::uint32_t>(n % 100'000'000);  // 8 digits
    for (std::size_t i = digits.size(); i-- > 7;) {
        digits[i] = static_cast<char>('0' + low % 10);
        low /= 10;
    }
    for (std::size_t i = 7; i-- > 0;) {
        digits[i] = static_cast<char>('0' + high % 10);
        high /= 10;
    }
}

constexpr auto kIntegerPowersOfTen = [] {
    std::array<std::uint64_t, 16> powers{1};
    for (std::size_t k = 1; k < powers.size(); ++k) {
        powers[k] = powers[k - 1] * 10;
    }
    return powers;
}();

// floor(log2(a)) of a normal double, read from its exponent bits.
int binaryExponent(double a) {
    constexpr int kBias = 1023;
    constexpr int kMantissaBits = 52;
    return static_cast<int>((std::bit_cast<std::uint64_t>(a) >> kMantissaBits) & 0x7FF) - kBias;
}

// Nearest integer, ties to even, for 0 <= p < 2^52: adding 2^52 leaves no
// fraction bits, so the addition itself rounds (as nearbyint does).
double nearestInteger(double p) {
    constexpr double kTwo52 = 4503599627370496.0;
    return (p + kTwo52) - kTwo52;
}

// The usual magnitudes, without a general conversion: |value| is about
// n x 10^(exponent - 14) with n of 15 digits. The exact product |value| x 10^k
// is p + err (fma makes err exact), so the nearest integer to it is known
// exactly. Returns false on a tie or an awkward edge, where the general path
// decides instead.
bool significandOf(double value, std::uint64_t& significand, int& exponent) {
    const double a = std::fabs(value);
    if (!(a >= 1e-7 && a < 1e15)) {
        return false;
    }
    // floor(e2 x log10 2), or one below it; the loop corrects that.
    int e10 = (binaryExponent(a) * 78913) >> 18;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = 14 - e10;
        if (k < 0 || k > 22) {
            return false;
        }
        const double power = kPowersOfTen[static_cast<std::size_t>(k)];
        const double p = a * power;
        // The product's rounding error matters only at a decade's edge or on a
        // tie, so the fma that gives it runs only there.
        const auto err = [a, power, p] { return std::fma(a, power, -p); };
        const double r = nearestInteger(p);
        const double d = p - r; // exact: the product is p + err, so it is r + d + err
        const bool below = r < 1e14 || (r == 1e14 && (d < 0 || (d == 0 && err() < 0)));
        const bool above = r > 1e15 || (r == 1e15 && (d > 0 || (d == 0 && err() >= 0)));
        if (below || above) { // the decade was missed by one
            e10 += below ? -1 : 1;
            continue;
        }
        double n = r;
        if (d == 0.5 || d == -0.5) {
            const double e = err();
            if (e == 0.0) {
                return false;
            }
            if ((d > 0) == (e > 0)) {
                n += d > 0 ? 1 : -1;
            }
        }
        if (n == 1e15) { // rounded up into the next decade
            n = 1e14;
            ++e10;
        }
        significand = static_cast<std::uint64_t>(n);
        exponent = e10;
        return true;
    }
    return false;
}

// Reads to_chars' scientific output "[-]d[.ddd]e[+-]xx"; returns the digit count.
// Bounded by end and by digits, whatever the text.
std::size_t readScientific(const char* p, const char* end, std::array<char, 17>& digits, int& exponent) {
    std::size_t n = 0;
    if (p != end && *p == '-') {
        ++p;
    }
    for (; p != end && *p != 'e'; ++p) {
        if (*p != '.' && n < digits.size()) {
            digits[n++] = *p;
        }
    }
    // After the 'e': its sign, then up to three digits.
    const bool negativeExponent = end - p > 1 && p[1] == '-';
    int e = 0;
    for (p = end - p > 2 ? p + 2 : end; p != end; ++p) {
        e = e * 10 + (*p - '0');
    }
    exponent = negativeExponent ? -e : e;
    return n;
}

// Every other finite value, through the library's conversion.
void expandGeneral(double value, std::array<char, 15>& out, int& exponent) {
    std::array<char, 40> buf{};
    std::array<char, 17> digits{};
    // The shortest round-trip digits round to the same 15 digits as the exact
    // binary value, except when they sit exactly on a tie; only then is the
    // slower fixed-precision conversion needed.
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    const std::size_t n = readScientific(buf.data(), res.ptr, digits, exponent);
    if (n == 16 && digits[15] == '5') {
        res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific, 14);
        readScientific(buf.data(), res.ptr, digits, exponent);
        std::copy_n(digits.begin(), out.size(), out.begin());
        return;
    }
    std::fill(out.begin(), out.end(), '0');
    std::copy_n(digits.begin(), std::min(n, out.size()), out.begin());
    if (n > out.size() && digits[15] >= '5') {
        std::size_t k = out.size();
        while (k > 0 && out[k - 1] == '9') {
            out[--k] = '0';
        }
        if (k == 0) {
            out[0] = '1';
            ++exponent;
        } else {
            ++out[k - 1];
        }
    }
}

void dropTrailingZeros(Decimal& d) {
    while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count) - 1] == '0') {
        --d.count;
    }
    if (d.count == 0) {
        d.negative = false; // never "-0"
    }
}

} // namespace

Decimal expand(double value) {
    Decimal d;
    if (!std::isfinite(value)) {
        return d; // no digits to give: the writers show these as words before coming here
    }
    int exponent = 0; // value = d0.d1...d14 x 10^exponent
    if (std::uint64_t significand = 0; significandOf(value, significand, exponent)) {
        writeDigits(significand, d.digits);
    } else {
        expandGeneral(value, d.digits, exponent);
    }
    d.negative = std::signbit(value);
    d.count = static_cast<int>(d.digits.size());
    d.intLength = exponent + 1;
    dropTrailingZeros(d);
    return d;
}

bool thousandthsByExpansion(double value, std::uint64_t& thousandths) {
    std::uint64_t n = 0;
    int exponent = 0;
    // value = n x 10^(exponent - 14), so in thousandths it is n / 10^(11 - exponent).
    if (!significandOf(value, n, exponent) || exponent > 11) {
        return false;
    }
    const int drop = 11 - exponent; // digits past the third decimal
    if (drop > 15) {
        thousandths = 0; // below a ten-thousandth
    } else if (drop == 0) {
        thousandths = n;
    } else {
        // Half of the last kept digit added first: halves away from zero.
        const std::uint64_t unit = kIntegerPowersOfTen[static_cast<std::size_t>(drop)];
        thousandths = (n + unit / 2) / unit;
    }
    return true;
}

Decimal fromThousandths(bool negative, std::uint64_t thousandths) {
    Decimal d;
    std::array<char, 20> reversed{};
    std::size_t count = 0;
    for (std::uint64_t t = thousandths; t > 0; t /= 10) {
        reversed[count++] = static_cast<char>('0' + t % 10);
    }
    for (std::size_t k = 0; k < count; ++k) {
        d.digits[k] = reversed[count - 1 - k];
    }
    d.count = static_cast<int>(count);
    d.intLength = d.count - 3;
    d.negative = negative && thousandths > 0;
    dropTrailingZeros(d);
    return d;
}

Decimal roundedToThousandths(Decimal d) {
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
    dropTrailingZeros(d);
    return d;
}

double valueOf(const Decimal& d) {
    const int length = d.intLength + 3; // digits of the value in thousandths
    if (length <= 15) {
        // Below 10^15 thousandths are exact, and one correctly rounded division
        // gives the same double as reading the decimal text.
        double thousandths = 0.0;
        for (int k = 0; k < length; ++k) {
            thousandths = thousandths * 10 + (d.at(k) - '0');
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

} // namespace vistrel::detail
