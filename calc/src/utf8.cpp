// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf8.h"

#include <array>

namespace vistrel::detail {

namespace {

bool isDirectionMark(char32_t c) { return c == 0x061C || c == 0x200E || c == 0x200F; }

} // namespace

std::ptrdiff_t decodeUtf8(std::string_view in, char32_t* out) {
    char32_t* const begin = out;
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            *out++ = lead;
            ++i;
            continue;
        }
        std::size_t extra = 0;
        char32_t cp = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07u;
        } else {
            return -1;
        }
        if (i + extra >= in.size()) {
            return -1;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(in[i + k]);
            if ((cont & 0xC0) != 0x80) {
                return -1;
            }
            cp = (cp << 6) | (cont & 0x3Fu);
        }
        static constexpr std::array<char32_t, 4> kMinForLength{0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return -1;
        }
        if (!isDirectionMark(cp)) {
            *out++ = cp;
        }
        i += extra + 1;
    }
    return out - begin;
}

std::u32string withoutMarks(std::string_view utf8) {
    std::u32string s(utf8.size(), U'\0');
    const std::ptrdiff_t n = decodeUtf8(utf8, s.data());
    s.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return s;
}

} // namespace vistrel::detail
