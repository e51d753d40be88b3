// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_dirs.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <unistd.h>

namespace vistrel::cli {

namespace {

std::vector<std::filesystem::path> searchDirs(const std::filesystem::path& programDir, const char* fromBin,
                                              const char* kind) {
    std::vector<std::filesystem::path> dirs{programDir / kind, (programDir / fromBin).lexically_normal(),
                                            std::filesystem::path(VISTREL_DATA_DIR) / kind};
    dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end()); // installed where it was built for
    return dirs;
}

} // namespace

std::filesystem::path programDir() {
    std::array<char, PATH_MAX> self{};
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::filesystem::path path(std::string(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0));
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

std::vector<std::filesystem::path> profileSearchDirs(const std::filesystem::path& programDir) {
    return searchDirs(programDir, VISTREL_PROFILES_FROM_BIN, "profiles");
}

std::vector<std::filesystem::path> conditionsSearchDirs(const std::filesystem::path& programDir) {
    return searchDirs(programDir, VISTREL_CONDITIONS_FROM_BIN, "conditions");
}

} // namespace vistrel::cli
