// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf8.h"

#include "calc/utf8.h"

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
        const std::string_view rest = in.substr(i);
        const std::size_t length = utf8::sequenceLength(rest);
        if (length == 0) {
            return -1;
        }
        const char32_t cp = utf8::decode(rest, length);
        if (!isDirectionMark(cp)) {
            *out++ = cp;
        }
        i += length;
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
