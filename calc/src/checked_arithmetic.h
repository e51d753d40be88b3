// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace vistrel::detail {

// Ends a calculation at the failing step; its message is what the user reads.
struct Fault {
    std::string message;
    // The field sits on the other screen, so the message says how to get there.
    bool onDisplayTypeScreen = false;
};

[[noreturn]] void fail(std::string message, bool onDisplayTypeScreen = false);

// Arithmetic steps, each checked the moment it is taken.

// The value, unless it overflowed (or is not a number): then the calculation
// fails with tooLargeMessage.
double checkOverflow(double value, std::string_view tooLargeMessage);
double quotient(double dividend, double divisor, std::string_view zeroMessage, std::string_view tooLargeMessage);
// ln(value) / ln(10), with ln(10) taken first.
double log10Of(double value, std::string_view notPositiveMessage);

} // namespace vistrel::detail
