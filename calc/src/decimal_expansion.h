// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vistrel::detail {

inline constexpr std::array<double, 23> kPowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A finite value's decimal expansion to 15 significant digits, trailing zeros
// dropped: value = 0.d0 d1 ... d(count-1) x 10^intLength, so intLength digits
// stand before the point (zeros past count, leading zeros after the point if
// negative). Zero has no digits and is never negative; so has a value that
// is not finite, which the writers put in words before they get here.
struct Decimal {
    bool negative = false;
    std::array<char, 15> digits{};
    int count = 0;
    int intLength = 0;

    // The digit at index, '0' past either end.
    [[nodiscard]] char at(int index) const {
        return index >= 0 && index < count ? digits[static_cast<std::size_t>(index)] : '0';
    }
};

[[nodiscard]] Decimal expand(double value);

// Rounded by hand to three decimals, halves away from zero; never -0.
[[nodiscard]] Decimal roundedToThousandths(Decimal d);

// The same rounding done on integers for the usual magnitudes: |value| in
// thousandths, from the same 15-digit expansion. False where it cannot, and
// roundedToThousandths(expand(value)) decides.
[[nodiscard]] bool thousandthsByExpansion(double value, std::uint64_t& thousandths);
[[nodiscard]] inline bool thousandthsOf(double value, std::uint64_t& thousandths) {
    // Most values lie far from a half thousandth, and then rounding value x 1000
    // directly gives the same thousandth as rounding its 15-digit expansion: the
    // expansion is within 5e-15 x |value| of it, the product within half an ulp,
    // so both fall on the same side of the half when the margin below is kept.
    // Only the few closer to a half need the expansion itself.
    const double a = std::fabs(value);
    if (a >= 1e-7 && a < 1e10) {
        const double p = a * 1000.0;
        // p < 1e13: truncation is the floor, exactly, and a signed conversion is one instruction.
        const auto whole = static_cast<std::int64_t>(p);
        const double fraction = p - static_cast<double>(whole); // exact below 2^52
        if (std::fabs(fraction - 0.5) > 1e-14 * p) {
            thousandths = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1U : 0U);
            return true;
        }
    }
    return thousandthsByExpansion(value, thousandths);
}
[[nodiscard]] Decimal fromThousandths(bool negative, std::uint64_t thousandths);
[[nodiscard]] inline double valueOfThousandths(bool negative, std::uint64_t thousandths) {
    // Exact: below 10^15, so the signed conversion, one instruction, holds it too.
    const auto t = static_cast<double>(static_cast<std::int64_t>(thousandths));
    return (negative && thousandths > 0 ? -t : t) / 1000.0;
}

// The double a text of d reads as (infinite when it is too large).
[[nodiscard]] double valueOf(const Decimal& d);

} // namespace vistrel::detail
