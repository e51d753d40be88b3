// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The table `check -o` writes: a row for each criterion of each profile, with
// the numbers the text report rounds given in full.

#include "analysis/profile.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace vistrel::cli {

struct CheckColumn {
    std::string_view name;
    bool number; // a number, or empty where the criterion has none
};

inline constexpr std::array<CheckColumn, 18> kCheckColumns{{
    {"profile", false},
    {"criterion", false},
    {"level", false},
    {"quantity", false},
    {"unit", false},
    {"kind", false},
    {"value", true},
    {"limit", true},
    {"low", true},
    {"high", true},
    {"target", true},
    {"margin", true},
    {"margin_ratio", true},
    {"status", false}, // pass, fail, no value or not applicable
    {"note", false},
    {"source", false},
    {"withdrawn", false},
    {"superseded_by", false},
}};
inline constexpr std::string_view kCheckStatusColumn = "status";

// The header line, without its line end.
[[nodiscard]] std::string checkTableHeader();
// One line per result, each ended by '\n'. Text from the profile file gets
// the formula guard.
void appendCheckRows(std::string& table, const Profile& profile, std::span<const CheckResult> results,
                     bool guardFormulas);

} // namespace vistrel::cli
