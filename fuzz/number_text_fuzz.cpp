// SPDX-License-Identifier: GPL-3.0-or-later
// Text-to-number conversion on arbitrary bytes, in several formats: it must
// never crash, never produce NaN or infinity, and what it accepts must come
// back to the same number through the texts the engine writes.

#include "calc/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

vistrel::NumberFormat format(std::uint8_t which) {
    vistrel::NumberFormat f;
    switch (which % 5) {
    case 0: break;
    case 1: f.group = ","; break;
    case 2:
        f.decimal = ",";
        f.group = ".";
        break;
    case 3:
        f.decimal = ",";
        f.group = "\u202F";
        f.groupHigher = 2;
        f.groupMinLeading = 2;
        break;
    default:
        f.decimal = "\u066B";
        f.group = "\u066C";
        f.minus = "\u061C-";
        f.digits = {"\u0660", "\u0661", "\u0662", "\u0663", "\u0664", "\u0665", "\u0666", "\u0667", "\u0668", "\u0669"};
    }
    return f;
}

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const vistrel::NumberText text(format(data[0]));
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto n = text.parse(input);
    if (!n.ok()) {
        return 0;
    }
    check(std::isfinite(n.value));
    const auto plain = text.parse(text.plain(n.value));
    check(plain.ok());
    check(text.parse(text.plain(plain.value)).value == plain.value);
    const auto three = text.parse(text.threeDecimals(n.value));
    check(three.ok() || std::fabs(n.value) > 1e307); // the rounded text of a huge value may overflow
    if (three.ok()) {
        check(three.value == vistrel::NumberText::roundThreeDecimals(n.value));
        check(text.showThreeDecimals(n.value).value == three.value);
    }
    return 0;
}
