// SPDX-License-Identifier: GPL-3.0-or-later
#include "read_bounded.h"

#include <fstream>

namespace vistrel::cli {

Expected<std::string> readBounded(const std::filesystem::path& file, std::size_t limit, std::string_view what) {
    std::ifstream in(file, std::ios::binary);
    std::string text(limit + 1, '\0');
    if (in) {
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
    }
    if (!in && (!in.eof() || in.bad())) {
        return inputError("cannot read " + std::string(what), file.string());
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

} // namespace vistrel::cli
