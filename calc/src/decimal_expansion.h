// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vistrel::detail {

inline constexpr std::array<double, 23> kPowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A finite value's decimal expansion to 15 significant digits, trailing zeros
// dropped: value = 0.d0 d1 ... d(count-1) x 10^intLength, so intLength digits
// stand before the point (zeros past count, leading zeros after the point if
// negative). Zero has no digits and is never negative.
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
[[nodiscard]] bool thousandthsOf(double value, std::uint64_t& thousandths);
[[nodiscard]] Decimal fromThousandths(bool negative, std::uint64_t thousandths);
[[nodiscard]] double valueOfThousandths(bool negative, std::uint64_t thousandths);

// The double a text of d reads as (infinite when it is too large).
[[nodiscard]] double valueOf(const Decimal& d);

} // namespace vistrel::detail
