// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A case kept in a file: a TOML table of inputs, or a one-row CSV, each
// named as the case options are. The command line's options go over it.

#include "analysis/expected.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct CaseFileValue {
    std::size_t column = 0; // in kColumns, an alias read as its column
    std::string text;       // a field's text, as typed in the window
    int line = 0;           // where the file gives it
};

// A case file holds at most this much.
inline constexpr std::size_t kMaxCaseFileBytes = std::size_t{64} << 10U;

// The input column a name in a case file stands for: a column or an alias;
// an unknown name, an output or a name given twice is an error naming it,
// with the input it looks like. id, label and design name a case and are
// skipped (nullopt with no error).
[[nodiscard]] Expected<std::optional<std::size_t>> caseFileColumn(std::string_view name, const std::string& file,
                                                                  int line);
// A top-level table of NAME = value: text, a whole number, or a float,
// written as the shortest text that reads back as it (0.8 stays 0.8).
[[nodiscard]] Expected<std::vector<CaseFileValue>> parseCaseToml(std::string_view text, const std::string& file);
[[nodiscard]] Expected<std::vector<CaseFileValue>> loadCaseToml(const std::filesystem::path& file);

} // namespace vistrel::cli
