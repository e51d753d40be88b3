// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One evaluated case as JSON: inputs and outputs keyed by column, numbers as
// numbers and empty texts as null, then verdict, message and margin_log.

#include "cases.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace vistrel::cli {

[[nodiscard]] nlohmann::ordered_json jsonValue(std::string_view text, const NumberText& numbers);
[[nodiscard]] nlohmann::ordered_json jsonNumber(std::optional<double> value);
// The text, or null when it is empty.
[[nodiscard]] nlohmann::ordered_json jsonText(std::string_view text);
[[nodiscard]] nlohmann::ordered_json caseJson(const Case& c, const Evaluation& e, const NumberText& numbers);
[[nodiscard]] std::string dumped(const nlohmann::ordered_json& j);

} // namespace vistrel::cli
