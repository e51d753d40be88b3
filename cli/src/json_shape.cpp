// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_shape.h"

#include <cmath>

namespace vistrel::cli {

nlohmann::ordered_json jsonValue(std::string_view text, const NumberText& numbers) {
    if (text.empty()) {
        return nullptr;
    }
    const ParsedNumber parsed = numbers.parse(text);
    if (parsed.ok() && std::isfinite(parsed.value)) {
        return parsed.value;
    }
    return std::string(text);
}

nlohmann::ordered_json jsonNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return nullptr;
    }
    return *value;
}

nlohmann::ordered_json jsonText(std::string_view text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(std::string(text));
}

nlohmann::ordered_json caseJson(const Case& c, const Evaluation& e, const NumberText& numbers) {
    nlohmann::ordered_json j;
    nlohmann::ordered_json inputs = nlohmann::ordered_json::object();
    nlohmann::ordered_json outputs = nlohmann::ordered_json::object();
    for (std::size_t k = 0; k < shownColumns(c.daylight()); ++k) {
        (isInputColumn(k) ? inputs : outputs)[std::string(kColumns[k].name)] = jsonValue(c.view(k), numbers);
    }
    j["inputs"] = std::move(inputs);
    j["outputs"] = std::move(outputs);
    j["verdict"] = e.hasVerdict() ? nlohmann::ordered_json(c.store().text(Field::Result)) : nullptr;
    j["message"] = jsonText(e.messageText());
    j["margin_log"] = jsonValue(e.margin, numbers);
    return j;
}

std::string dumped(const nlohmann::ordered_json& j) {
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"; // bad UTF-8 becomes U+FFFD
}

} // namespace vistrel::cli
