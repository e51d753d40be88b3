// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/expected.h"

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
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || (!in && !in.eof())) {
        return cli::Error{cli::ErrorKind::Usage, "cannot read the file", file, 0};
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

} // namespace vistrel::screen
