// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/expected.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>

namespace vistrel::screen {

// A small text file read up to one byte past `limit`, so that the caller can
// refuse a larger one without reading the rest.
[[nodiscard]] inline cli::Expected<std::string> readBoundedText(const std::string& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return cli::Error{cli::ErrorKind::Usage, std::string("cannot open: ") + std::strerror(errno), file, 0};
    }
    // In pieces, so that a small file costs no buffer of the limit's size.
    std::string text;
    std::array<char, 64 * std::size_t{1024}> piece{};
    while (text.size() <= limit && in) {
        in.read(piece.data(), static_cast<std::streamsize>(std::min(piece.size(), limit + 1 - text.size())));
        text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return cli::Error{cli::ErrorKind::Usage, "cannot read the file", file, 0};
    }
    return text;
}

} // namespace vistrel::screen
