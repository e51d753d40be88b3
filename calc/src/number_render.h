// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/number_format.h"
#include "calc/number_text.h"
#include "decimal_expansion.h"

#include <cstdint>
#include <string>

namespace vistrel::detail {

// The format's pieces for writing without string copies.
[[nodiscard]] number_detail::Glyphs glyphsOf(const NumberFormat& format);

// d with fractionDigits decimals, grouped when asked and the format groups.
[[nodiscard]] std::string render(const NumberFormat& format, const number_detail::Glyphs& glyphs, const Decimal& d,
                                 int fractionDigits, bool grouped);
// The same as rendering fromThousandths(negative, thousandths) with three
// decimals, grouped, without building the expansion first.
[[nodiscard]] InlineText renderThousandths(const NumberFormat& format, const number_detail::Glyphs& glyphs,
                                           bool negative, std::uint64_t thousandths);

} // namespace vistrel::detail
