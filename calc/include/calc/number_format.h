// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vistrel {

// The regional number settings the engine reads and writes numbers with.
// Front-ends build one from the user's locale and pass it in; the engine
// never looks at the process locale. Every text is UTF-8.
struct NumberFormat {
    std::string decimal = ".";
    // Empty means the integer part is never grouped.
    std::string group;
    // Digits in the rightmost group, then in each group further left
    // (3 and 3 for thousands, 3 and 2 for the Indian pattern).
    int groupFirst = 3;
    int groupHigher = 3;
    // Grouping starts only once the leading group would hold this many digits
    // (2 in locales that write 1234 but 12 345).
    int groupMinLeading = 1;
    std::string minus = "-";
    std::array<std::string, 10> digits{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

    // Point decimal, no grouping, ASCII minus.
    static NumberFormat invariant();
    // Point decimal, comma thousands grouping, ASCII minus.
    static NumberFormat usEnglish();

    // A number written with the point, ASCII digits and ASCII minus, such as
    // a start text, rewritten in these symbols.
    [[nodiscard]] std::string fromPointText(std::string_view pointText) const;
};

} // namespace vistrel
