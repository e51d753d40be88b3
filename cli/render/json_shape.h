// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One evaluated case as JSON: inputs and outputs keyed by column, numbers as
// numbers and empty texts as null, then verdict, message and margin_log. Every
// command writes cases through here, so that they share one shape.

#include "analysis/cases.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <span>
#include <string>
#include <utility>

namespace vistrel::cli {

// A label column of a batch row, passed through: its header and its cell.
using Label = std::pair<std::string_view, std::string_view>;

// Null when empty, a number when the text reads as a finite one, else the text.
[[nodiscard]] nlohmann::ordered_json jsonValue(std::string_view text, const NumberText& numbers);
[[nodiscard]] nlohmann::ordered_json jsonNumber(std::optional<double> value);
// The text, or null when it is empty.
[[nodiscard]] nlohmann::ordered_json jsonText(std::string_view text);
[[nodiscard]] nlohmann::ordered_json caseJson(const Case& c, const Evaluation& e, const NumberText& numbers,
                                              std::span<const Label> labels = {});
// A row that could not be read: every value null, and why.
[[nodiscard]] nlohmann::ordered_json unreadableJson(std::string_view message, ColumnSet shown,
                                                    std::span<const Label> labels = {});
// Indented by default; a negative indent gives one line.
[[nodiscard]] std::string dumped(const nlohmann::ordered_json& j, int indent = 2);

} // namespace vistrel::cli
