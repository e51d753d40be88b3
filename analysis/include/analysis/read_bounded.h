// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/expected.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace vistrel::cli {

// A small input file's text, read up to one byte past `limit`: that byte is
// enough for the parser to refuse the file, and the rest is never read.
// `what` names the file in the error ("the profile"); a file named on the
// command line rather than by another file fails as a usage error.
[[nodiscard]] Expected<std::string> readBounded(const std::filesystem::path& file, std::size_t limit,
                                                std::string_view what, ErrorKind kind = ErrorKind::Input);

} // namespace vistrel::cli
