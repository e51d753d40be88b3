// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vistrel::detail {

// Decodes UTF-8 into out (room for in.size() code points), dropping direction
// marks. Malformed UTF-8 makes the whole text a non-number rather than letting
// a stray byte vanish. Returns the count written, or -1.
std::ptrdiff_t decodeUtf8(std::string_view in, char32_t* out);

// The text's code points without direction marks; empty when malformed.
std::u32string withoutMarks(std::string_view utf8);

} // namespace vistrel::detail
