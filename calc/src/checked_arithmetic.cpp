// SPDX-License-Identifier: GPL-3.0-or-later
#include "checked_arithmetic.h"

#include <cmath>

namespace vistrel::detail {

void fail(std::string message, bool onDisplayTypeScreen) { throw Fault{std::move(message), onDisplayTypeScreen}; }

double checkOverflow(double value, std::string_view tooLargeMessage) {
    if (!std::isfinite(value)) {
        fail(std::string(tooLargeMessage));
    }
    return value;
}

double quotient(double dividend, double divisor, std::string_view zeroMessage, std::string_view tooLargeMessage) {
    if (divisor == 0.0) {
        fail(std::string(zeroMessage));
    }
    return checkOverflow(dividend / divisor, tooLargeMessage);
}

double log10Of(double value, std::string_view notPositiveMessage) {
    const double ln10 = std::log(10.0);
    if (!(value > 0.0)) {
        fail(std::string(notPositiveMessage));
    }
    return std::log(value) / ln10;
}

} // namespace vistrel::detail
