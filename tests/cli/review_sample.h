// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Review models of real calculations, for the report's unit tests.

#include "review.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::cli::test {

// column -> text, as a CSV row would give them
using Row = std::vector<std::pair<std::string, std::string>>;

// The worked case: illuminance mode, 1076 lux, factors 0.8 and 0.2, age 40,
// 6 mm letters at 750 mm, ratio 7, 90% confidence.
Row workedRow();

// Evaluates the row and fills the design from the engine's fields, checked
// against the named built-in profiles, with a tolerance run of age
// normal:45:12 when samples is not zero.
ReviewDesign evaluatedDesign(const std::string& name, const Row& row, const std::filesystem::path& profilesDir,
                             const std::vector<std::string>& profiles, std::uint64_t samples);

} // namespace vistrel::cli::test
