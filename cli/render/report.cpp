// SPDX-License-Identifier: GPL-3.0-or-later
#include "report.h"

#include "json_shape.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <sstream>

namespace vistrel::cli {

namespace {

using Json = nlohmann::ordered_json;

// A number for a sentence, its thousands grouped: 12,400.
std::string grouped(double v, const NumberText& numbers) {
    const std::string text = numbers.plain(v);
    const std::size_t sign = text.starts_with('-') ? 1 : 0;
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string out = text.substr(0, sign);
    for (std::size_t k = sign; k < point; ++k) {
        if (k > sign && (point - k) % 3 == 0) {
            out += ',';
        }
        out += text[k];
    }
    return out + text.substr(point);
}

// "smallest NAME that is Legible: V", or the input's own sentence.
std::string sentence(const SolveTarget* target, std::string_view name, std::string_view plain, double v,
                     const NumberText& numbers) {
    if (target == nullptr || target->sentence.empty()) {
        return std::string(plain) + " " + std::string(name) + " that is Legible: " + numbers.plain(v);
    }
    std::string text(target->sentence);
    text.replace(text.find("{}"), 2, grouped(v, numbers));
    return text;
}

} // namespace

std::string legibleBandsText(std::span<const LegibleBand> bands, std::string_view unit,
                             const std::function<std::string(double)>& number) {
    const std::string unitText = unit.empty() ? "" : " " + std::string(unit);
    std::string out;
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const LegibleBand& b = bands[k];
        out += k == 0 ? "" : k + 1 == bands.size() ? " and " : ", ";
        if (b.fromStart) {
            out += "up to " + number(b.to);
        } else if (b.toEnd) {
            out += "from " + number(b.from);
        } else {
            out += "from " + number(b.from) + " to " + number(b.to);
        }
        out += unitText;
    }
    return out;
}

namespace {

// The limit the question asks for, as a single edge: the first change into
// Legible for a smallest value, the last out of it for a largest.
SolveAnswer singleLimit(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    const SolveTarget* target = solveTarget(name);
    const auto limit = solveLimit(target, r);
    if (!limit) {
        return {};
    }
    if (limit->rangeEnd) {
        return {limit->value,
                (limit->smallest ? "Legible already at " : "Legible still at ") + numbers.plain(limit->value)};
    }
    return {limit->value, sentence(target, name, limit->smallest ? "smallest" : "largest", limit->value, numbers)};
}

} // namespace

SolveAnswer solveAnswer(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    SolveAnswer a = singleLimit(name, r, numbers);
    // Two edges or more: a single limit would hide where Legible stops again.
    const std::vector<LegibleBand> bands = legibleBands(r);
    if (bandEdges(bands) > 1) {
        const SolveTarget* target = solveTarget(name);
        a.sentence = "legible " + legibleBandsText(bands, target != nullptr ? target->unit : "",
                                                   [&](double v) { return grouped(v, numbers); });
    }
    return a;
}

std::string evaluationJson(const Case& c, const Evaluation& e, const NumberText& numbers) {
    return dumped(caseJson(c, e, numbers));
}

std::string evaluationJsonLine(const Case& c, const Evaluation& e, const NumberText& numbers,
                               std::span<const Label> labels) {
    return dumped(caseJson(c, e, numbers, labels), -1);
}

std::string unreadableJsonLine(std::string_view message, ColumnSet shown, std::span<const Label> labels) {
    return dumped(unreadableJson(message, shown, labels), -1);
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
    Json j = caseJson(at, e, numbers);
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
    j["bands"] = Json::array();
    for (const LegibleBand& b : legibleBands(r)) {
        j["bands"].push_back({{"from", b.from}, {"to", b.to}, {"from_start", b.fromStart}, {"to_end", b.toEnd}});
    }
    j["sentence"] = jsonText(a.sentence);
    return dumped(j);
}

} // namespace vistrel::cli
