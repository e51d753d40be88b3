// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/number_format.h"

namespace vistrel {

NumberFormat NumberFormat::invariant() { return {}; }

NumberFormat NumberFormat::usEnglish() {
    NumberFormat f;
    f.group.push_back(',');
    return f;
}

std::string NumberFormat::fromPointText(std::string_view pointText) const {
    std::string text;
    for (const char c : pointText) {
        if (c >= '0' && c <= '9') {
            text += digits[static_cast<std::size_t>(c - '0')];
        } else if (c == '.') {
            text += decimal;
        } else if (c == '-') {
            text += minus;
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace vistrel
