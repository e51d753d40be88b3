// SPDX-License-Identifier: GPL-3.0-or-later
// The number writers on arbitrary doubles, built bit for bit from the input
// (infinities, NaNs, subnormals, the largest finite values and -0 among
// them), in every regional format of the tests: no crash, the same text from
// every path that writes a form, texts that read back as the number they
// show, and words for what has no digits.

#include "calc/number_text.h"
#include "formats.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using vistrel::NumberText;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// Equal as numbers, or both NaN.
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void writeOne(const NumberText& text, double v) {
    const std::string plain = text.plain(v);
    const std::string three = text.threeDecimals(v);
    const NumberText::Shown shown = text.showThreeDecimals(v);
    const NumberText::BothForms both = text.bothForms(v);
    const double rounded = NumberText::roundThreeDecimals(v);
    check(shown.text.view() == three);
    check(both.plain == plain && both.shown.text.view() == three);
    check(same(shown.value, rounded) && same(both.shown.value, rounded));

    const std::string& minus = text.format().minus;
    if (!std::isfinite(v)) {
        const std::string word = std::isnan(v) ? "nan" : v < 0 ? minus + "inf" : "inf";
        check(plain == word && three == word && same(rounded, v));
        check(!text.parse(plain).ok());
        return;
    }
    check(std::isfinite(rounded) || std::fabs(v) > 1e308); // only the largest values round up past the doubles
    // What is written reads back as the number it shows; only the 15-digit
    // text of the very largest values may read as too large.
    const auto p = text.parse(plain);
    check(p.ok() || (p.error == vistrel::ParseError::Overflow && std::fabs(v) > 1.797e308));
    if (p.ok()) {
        check(text.plain(p.value) == plain);
    }
    const auto t = text.parse(three);
    check(t.ok() == std::isfinite(rounded));
    if (t.ok()) {
        check(t.value == rounded && text.threeDecimals(t.value) == three);
    }
    // Never "-0" or "-0.000".
    check(!(p.ok() && p.value == 0 && plain.starts_with(minus)));
    check(!(rounded == 0 && three.starts_with(minus)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 + sizeof(double)) {
        return 0;
    }
    const auto& named = vistrel::testing_formats::kAll[data[0] % std::size(vistrel::testing_formats::kAll)];
    const NumberText text(named.make());
    for (std::size_t at = 1; at + sizeof(double) <= size; at += sizeof(double)) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, data + at, sizeof bits);
        writeOne(text, std::bit_cast<double>(bits));
    }
    return 0;
}
