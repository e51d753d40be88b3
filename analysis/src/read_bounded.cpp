// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/read_bounded.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace vistrel::cli {

Expected<std::string> readBounded(const std::filesystem::path& file, std::size_t limit, std::string_view what,
                                  ErrorKind kind) {
    std::ifstream in(file, std::ios::binary);
    // In pieces, so that a small file costs no buffer of the limit's size.
    std::string text;
    std::array<char, std::size_t{64} << 10> piece{};
    while (in && text.size() <= limit) {
        in.read(piece.data(), static_cast<std::streamsize>(std::min(piece.size(), limit + 1 - text.size())));
        text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (!in && (!in.eof() || in.bad())) {
        return Error{kind, "cannot read " + std::string(what), file.string(), 0};
    }
    return text;
}

} // namespace vistrel::cli
