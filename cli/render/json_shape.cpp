// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_shape.h"

#include <cmath>

namespace vistrel::cli {

namespace {

using Json = nlohmann::ordered_json;

// The verdict is written once, as verdict, not again among the outputs.
bool isResult(std::size_t column) { return kColumns[column].field == Field::Result; }

// The mode and the ease level are words even where they look like numbers.
bool isTextual(std::size_t column) { return column == 0 || kColumns[column].field == Field::EaseOfRead; }

void addLabels(Json& j, std::span<const Label> labels) {
    if (labels.empty()) {
        return;
    }
    Json out = Json::object();
    for (const auto& [name, cell] : labels) {
        out[std::string(name)] = std::string(cell);
    }
    j["labels"] = std::move(out);
}

} // namespace

Json jsonValue(std::string_view text, const NumberText& numbers) {
    if (text.empty()) {
        return nullptr;
    }
    const ParsedNumber parsed = numbers.parse(text);
    if (parsed.ok() && std::isfinite(parsed.value)) {
        return parsed.value;
    }
    return std::string(text);
}

Json jsonNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return nullptr;
    }
    return *value;
}

Json jsonText(std::string_view text) { return text.empty() ? Json(nullptr) : Json(std::string(text)); }

Json caseJson(const Case& c, const Evaluation& e, const NumberText& numbers, std::span<const Label> labels) {
    Json inputs = Json::object();
    Json outputs = Json::object();
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (isResult(k) || !c.shown().shows(k)) {
            continue;
        }
        const std::string name(kColumns[k].name);
        (isInputColumn(k) ? inputs : outputs)[name] =
            isTextual(k) ? jsonText(c.view(k)) : jsonValue(c.view(k), numbers);
    }
    Json j;
    j["inputs"] = std::move(inputs);
    j["outputs"] = std::move(outputs);
    j["verdict"] = e.hasVerdict() ? jsonText(c.store().view(Field::Result)) : Json(nullptr);
    j["message"] = jsonText(e.messageText());
    j["margin_log"] = jsonValue(e.margin, numbers);
    addLabels(j, labels);
    return j;
}

Json unreadableJson(std::string_view message, ColumnSet shown, std::span<const Label> labels) {
    Json inputs = Json::object();
    Json outputs = Json::object();
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (!isResult(k) && shown.shows(k)) {
            (isInputColumn(k) ? inputs : outputs)[std::string(kColumns[k].name)] = nullptr;
        }
    }
    Json j;
    j["inputs"] = std::move(inputs);
    j["outputs"] = std::move(outputs);
    j["verdict"] = nullptr;
    j["message"] = std::string(message);
    j["margin_log"] = nullptr;
    addLabels(j, labels);
    return j;
}

std::string dumped(const Json& j, int indent) {
    return j.dump(indent, ' ', false, Json::error_handler_t::replace) + "\n"; // bad UTF-8 becomes U+FFFD
}

} // namespace vistrel::cli
