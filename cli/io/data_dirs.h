// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where vistrel-cli finds its shipped data: beside the program in a build
// tree, the installed share folder relative to the program, then the share
// folder it was built for (which a copy of the program elsewhere still
// finds). The analyses take these folders as arguments and look nowhere else.

#include <filesystem>
#include <vector>

namespace vistrel::cli {

// The folder this program runs from.
[[nodiscard]] std::filesystem::path programDir();
// Folders holding the built-in profiles.
[[nodiscard]] std::vector<std::filesystem::path> profileSearchDirs(const std::filesystem::path& programDir);
// Folders holding the shipped conditions.
[[nodiscard]] std::vector<std::filesystem::path> conditionsSearchDirs(const std::filesystem::path& programDir);

} // namespace vistrel::cli
