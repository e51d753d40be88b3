// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// UTF-8 as every part of Vistrel reads and writes it: well formed only, so
// that an overlong form, a surrogate or a code point beyond U+10FFFF is a
// malformed byte rather than a character some other reader sees differently.

#include <cstddef>
#include <string>
#include <string_view>

namespace vistrel::utf8 {

// The length of the well-formed sequence at the start of text, else 0 (also
// for an empty text).
[[nodiscard]] constexpr std::size_t sequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const unsigned char second = length > 1 ? byte(1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90)) {
        return 0; // overlong, a surrogate, or beyond U+10FFFF
    }
    return length;
}

// The code point of the sequence at the start of text, which sequenceLength
// has found to be `length` bytes long.
[[nodiscard]] constexpr char32_t decode(std::string_view text, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (length == 1) {
        return lead;
    }
    char32_t cp = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3Fu);
    }
    return cp;
}

// Appends cp's sequence; anything that is not a character (a surrogate,
// beyond U+10FFFF) as U+FFFD.
inline void append(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace vistrel::utf8
