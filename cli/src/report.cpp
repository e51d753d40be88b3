#include "report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace vistrel::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string dump(const Json& j, int indent) {
    return j.dump(indent, ' ', false, Json::error_handler_t::replace) + "\n"; // bad UTF-8 becomes U+FFFD
}

// A field's text as JSON: null when empty, a number when it reads as one.
Json value(std::string_view text, const NumberText& numbers) {
    if (text.empty()) {
        return nullptr;
    }
    if (const ParsedNumber n = numbers.parse(text); n.ok()) {
        return n.value;
    }
    return std::string(text);
}

Json text(std::string_view t) { return t.empty() ? Json(nullptr) : Json(std::string(t)); }

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

bool isResult(std::size_t column) { return kColumns[column].field == Field::Result; }

Json caseJson(const Case& c, const Evaluation& e, const NumberText& numbers, std::span<const Label> labels) {
    Json inputs = Json::object();
    Json outputs = Json::object();
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        const std::string name(kColumns[k].name);
        const bool textual = k == 0 || kColumns[k].field == Field::EaseOfRead;
        if (k < kFirstOutputColumn) {
            inputs[name] = textual ? text(c.view(k)) : value(c.view(k), numbers);
        } else if (!isResult(k)) {
            outputs[name] = value(c.view(k), numbers);
        }
    }
    Json j;
    j["inputs"] = std::move(inputs);
    j["outputs"] = std::move(outputs);
    j["verdict"] = e.hasVerdict() ? text(c.store().view(Field::Result)) : Json(nullptr);
    j["message"] = text(e.message);
    j["margin_log"] = value(e.margin, numbers);
    addLabels(j, labels);
    return j;
}

} // namespace

SolveAnswer solveAnswer(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    const std::string legible(kLegible);
    const auto answer = [&](std::string_view what, double v) {
        return SolveAnswer{v, std::string(what) + " " + std::string(name) + " that is Legible: " + numbers.plain(v)};
    };
    const SolveTarget* target = solveTarget(name);
    if (target != nullptr && target->smallestIsAnswer) {
        for (const ChangePoint& c : r.changes) {
            if (c.stateAbove == legible) {
                return answer("smallest", c.above);
            }
        }
        return r.stateAtMin == legible ? SolveAnswer{r.min, "Legible already at " + numbers.plain(r.min)}
                                       : SolveAnswer{};
    }
    const auto last = std::find_if(r.changes.rbegin(), r.changes.rend(),
                                   [&](const ChangePoint& c) { return c.stateBelow == legible; });
    if (last != r.changes.rend()) {
        return answer("largest", last->below);
    }
    return r.stateAtMax == legible ? SolveAnswer{r.max, "Legible still at " + numbers.plain(r.max)} : SolveAnswer{};
}

std::string evaluationTable(const Case& c, const Evaluation& e) {
    std::ostringstream out;
    const auto row = [&](std::string_view name, const std::string& value) {
        out << "  " << name << std::string(24 - std::min<std::size_t>(name.size(), 23), ' ') << value << '\n';
    };
    out << "Inputs\n";
    for (std::size_t k = 0; k < kFirstOutputColumn; ++k) {
        row(kColumns[k].name, c.text(k));
    }
    out << "Outputs\n";
    for (std::size_t k = kFirstOutputColumn; k + 1 < kColumns.size(); ++k) {
        row(kColumns[k].name, c.text(k));
    }
    row(kMarginColumn, e.margin);
    if (e.hasVerdict()) {
        out << "Verdict: " << c.store().text(Field::Result) << '\n';
    } else {
        out << "No verdict: " << e.message << '\n';
    }
    return out.str();
}

std::string evaluationJson(const Case& c, const Evaluation& e, const NumberText& numbers) {
    return dump(caseJson(c, e, numbers, {}), 2);
}

std::string evaluationJsonLine(const Case& c, const Evaluation& e, const NumberText& numbers,
                               std::span<const Label> labels) {
    return dump(caseJson(c, e, numbers, labels), -1);
}

std::string unreadableJsonLine(std::string_view message, std::span<const Label> labels) {
    Json inputs = Json::object();
    Json outputs = Json::object();
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (!isResult(k)) {
            (k < kFirstOutputColumn ? inputs : outputs)[std::string(kColumns[k].name)] = nullptr;
        }
    }
    Json j;
    j["inputs"] = std::move(inputs);
    j["outputs"] = std::move(outputs);
    j["verdict"] = nullptr;
    j["message"] = std::string(message);
    j["margin_log"] = nullptr;
    addLabels(j, labels);
    return dump(j, -1);
}

std::string solveText(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    const auto number = [&](double v) { return numbers.plain(v); };
    std::ostringstream out;
    out << name << " from " << number(r.min) << " to " << number(r.max) << ": " << r.stateAtMin << " at "
        << number(r.min) << ", " << r.stateAtMax << " at " << number(r.max) << '\n';
    if (r.changes.empty()) {
        out << "The verdict does not change in this range.\n";
    }
    for (const ChangePoint& c : r.changes) {
        out << "  " << number(c.below) << " -> " << number(c.above) << ": " << c.stateBelow << " -> " << c.stateAbove
            << '\n';
    }
    const SolveAnswer a = solveAnswer(name, r, numbers);
    out << (a.value ? a.sentence : "No " + std::string(name) + " in this range is Legible.") << '\n';
    return out.str();
}

std::string solveJson(std::string_view name, const SolveResult& r, const Case& at, const Evaluation& e,
                      const NumberText& numbers) {
    Json j = caseJson(at, e, numbers, {});
    j["for"] = std::string(name);
    j["min"] = r.min;
    j["max"] = r.max;
    j["state_at_min"] = r.stateAtMin;
    j["state_at_max"] = r.stateAtMax;
    j["changes"] = Json::array();
    for (const ChangePoint& c : r.changes) {
        j["changes"].push_back(
            {{"below", c.below}, {"above", c.above}, {"state_below", c.stateBelow}, {"state_above", c.stateAbove}});
    }
    const SolveAnswer a = solveAnswer(name, r, numbers);
    j["answer"] = a.value ? Json(*a.value) : Json(nullptr);
    j["sentence"] = text(a.sentence);
    return dump(j, 2);
}

} // namespace vistrel::cli
