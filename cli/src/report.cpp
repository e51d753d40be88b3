#include "report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace vistrel::cli {

namespace {

// The answer to the question solve was asked, from the changes it found.
std::string answer(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    const auto number = [&](double v) { return numbers.plain(v); };
    const std::string legible(kLegible);
    const SolveTarget* target = solveTarget(name);
    if (target != nullptr && target->smallestIsAnswer) {
        for (const ChangePoint& c : r.changes) {
            if (c.stateAbove == legible) {
                return "smallest " + std::string(name) + " that is Legible: " + number(c.above);
            }
        }
        return r.stateAtMin == legible ? "Legible already at " + number(r.min) : "";
    }
    const auto last = std::find_if(r.changes.rbegin(), r.changes.rend(),
                                   [&](const ChangePoint& c) { return c.stateBelow == legible; });
    if (last != r.changes.rend()) {
        return "largest " + std::string(name) + " that is Legible: " + number(last->below);
    }
    return r.stateAtMax == legible ? "Legible still at " + number(r.max) : "";
}

} // namespace

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

std::string evaluationJson(const Case& c, const Evaluation& e) {
    nlohmann::ordered_json j;
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        j[std::string(kColumns[k].name)] = c.text(k);
    }
    j[std::string(kMessageColumn)] = e.message;
    j[std::string(kMarginColumn)] = e.margin;
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"; // bad UTF-8 becomes U+FFFD
}

std::string solveText(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    const auto number = [&](double v) { return numbers.plain(v); };
    std::ostringstream out;
    out << name << " from " << number(r.min) << " to " << number(r.max) << ": " << r.stateAtMin << " at "
        << number(r.min) << ", " << r.stateAtMax << " at " << number(r.max) << '\n';
    if (r.changes.empty()) {
        out << "The verdict does not change in this range.\n";
        return out.str();
    }
    for (const ChangePoint& c : r.changes) {
        out << "  " << number(c.below) << " -> " << number(c.above) << ": " << c.stateBelow << " -> " << c.stateAbove
            << '\n';
    }
    if (const std::string a = answer(name, r, numbers); !a.empty()) {
        out << a << '\n';
    }
    return out.str();
}

std::string solveJson(std::string_view name, const SolveResult& r, const NumberText& numbers) {
    nlohmann::ordered_json j;
    j["for"] = std::string(name);
    j["min"] = r.min;
    j["max"] = r.max;
    j["state_at_min"] = r.stateAtMin;
    j["state_at_max"] = r.stateAtMax;
    j["changes"] = nlohmann::json::array();
    for (const ChangePoint& c : r.changes) {
        j["changes"].push_back(
            {{"below", c.below}, {"above", c.above}, {"state_below", c.stateBelow}, {"state_above", c.stateAbove}});
    }
    j["answer"] = answer(name, r, numbers);
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"; // bad UTF-8 becomes U+FFFD
}

} // namespace vistrel::cli
