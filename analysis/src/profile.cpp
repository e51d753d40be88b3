// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/profile.h"

#include "analysis/read_bounded.h"

#include <muParser.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>

namespace vistrel::cli {

namespace {

using Variables = std::array<double, kQuantities.size()>;

// A limit or condition ready to evaluate: a number, or a compiled expression
// over the case's quantities.
struct Term {
    std::optional<double> number;
    std::string expression;
    std::unique_ptr<mu::Parser> parser;
    std::vector<std::size_t> uses; // quantity indices the expression names

    [[nodiscard]] bool present() const { return number || !expression.empty(); }
};

// Tolerates the rounding of values that were read back from three-decimal texts.
bool atOrAbove(double value, double limit) {
    return value >= limit || std::abs(value - limit) <= 1e-9 * std::max(std::abs(value), std::abs(limit));
}

bool atOrBelow(double value, double limit) { return atOrAbove(-value, -limit); }

struct Failure {
    int line;
    std::string reason;
};

int lineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

// muparser accepts "=", "+=" and the like, which would overwrite a case's quantity.
bool assigns(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            continue;
        }
        const bool comparison = (i > 0 && std::string_view("=<>!").find(text[i - 1]) != std::string_view::npos) ||
                                (i + 1 < text.size() && text[i + 1] == '=');
        if (!comparison) {
            return true;
        }
    }
    return false;
}

std::optional<Failure> compileExpression(Term& term, const std::string& text, Variables& variables, int line,
                                         std::string_view key) {
    if (assigns(text)) {
        return Failure{line, std::string(key) + " must not assign ('=' compares as '==') in '" + text + "'"};
    }
    auto parser = std::make_unique<mu::Parser>();
    try {
        for (std::size_t i = 0; i < kQuantities.size(); ++i) {
            parser->DefineVar(std::string(kQuantities[i].name), &variables[i]);
        }
        parser->SetExpr(text);
        (void)parser->Eval();
        if (parser->GetNumResults() != 1) {
            return Failure{line, std::string(key) + " must be a single expression: '" + text + "'"};
        }
        for (const auto& [name, pointer] : parser->GetUsedVar()) {
            term.uses.push_back(static_cast<std::size_t>(pointer - variables.data()));
        }
    } catch (const mu::Parser::exception_type& e) {
        if (e.GetCode() == mu::ecUNASSIGNABLE_TOKEN) {
            return Failure{line, "unknown quantity '" + e.GetToken() + "' in " + std::string(key) + " '" + text + "'"};
        }
        return Failure{line, "bad expression in " + std::string(key) + " '" + text + "': " + e.GetMsg()};
    }
    term.expression = text;
    term.parser = std::move(parser);
    return std::nullopt;
}

std::optional<Failure> compileTerm(Term& term, const toml::node& node, Variables& variables, std::string_view key) {
    const int line = lineOf(node);
    if (const auto* s = node.as_string()) {
        return compileExpression(term, s->get(), variables, line, key);
    }
    std::optional<double> number;
    if (const auto* i = node.as_integer()) {
        number = static_cast<double>(i->get());
    } else if (const auto* f = node.as_floating_point()) {
        number = f->get();
    } else {
        return Failure{line, std::string(key) + " must be a number or an expression in quotes"};
    }
    if (!std::isfinite(*number)) {
        return Failure{line, std::string(key) + " must be a finite number (fill in the value)"};
    }
    term.number = number;
    return std::nullopt;
}

std::string termText(const toml::node& node) {
    if (const auto* s = node.as_string()) {
        return s->get();
    }
    std::ostringstream out;
    if (const auto* i = node.as_integer()) {
        out << i->get();
    } else if (const auto* f = node.as_floating_point()) {
        out << f->get();
    }
    return out.str();
}

// Evaluates a term for one case; empty, with the reason, when it cannot.
std::optional<double> evaluate(const Term& term, const QuantityValues& values, Variables& variables,
                               std::string& note) {
    if (term.number) {
        return term.number;
    }
    if (!term.parser) { // compiled when loaded, so this cannot happen; never guess a limit
        note = "the expression '" + term.expression + "' could not be compiled";
        return std::nullopt;
    }
    for (std::size_t use : term.uses) {
        if (!values[use]) {
            note = "no value for " + std::string(kQuantities[use].name);
            return std::nullopt;
        }
        variables[use] = *values[use];
    }
    const double result = term.parser->Eval();
    if (!std::isfinite(result)) {
        note = "the expression '" + term.parser->GetExpr() + "' has no finite value";
        return std::nullopt;
    }
    return result;
}

constexpr std::array<std::string_view, 12> kCriterionKeys{"id",   "quantity", "kind",      "limit",
                                                          "low",  "high",     "level",     "source",
                                                          "when", "target",   "withdrawn", "superseded_by"};

} // namespace

struct ProfileChecker::Compiled {
    Variables variables{};
    Term low;
    Term high;
    Term when;
};

namespace {

// What a checker needs of a compiled term, kept in the profile.
Profile::Term kept(const Term& term) { return {term.number, term.expression}; }

Term checkerTerm(const Profile::Term& term, Variables& variables, std::string_view key) {
    Term out;
    out.number = term.number;
    if (!term.expression.empty()) {
        (void)compileExpression(out, term.expression, variables, 0, key);
        out.expression = term.expression;
    }
    return out;
}

} // namespace

ProfileChecker::ProfileChecker(const Profile& profile) : profile_(&profile) {
    compiled_.reserve(profile.terms().size());
    for (const Profile::Terms& terms : profile.terms()) {
        auto c = std::make_unique<Compiled>();
        c->low = checkerTerm(terms.low, c->variables, "low");
        c->high = checkerTerm(terms.high, c->variables, "high");
        c->when = checkerTerm(terms.when, c->variables, "when");
        compiled_.push_back(std::move(c));
    }
}
ProfileChecker::ProfileChecker(ProfileChecker&&) noexcept = default;
ProfileChecker& ProfileChecker::operator=(ProfileChecker&&) noexcept = default;
ProfileChecker::~ProfileChecker() = default;

std::optional<std::size_t> quantityIndex(std::string_view name) {
    const auto* it =
        std::find_if(kQuantities.begin(), kQuantities.end(), [&](const auto& q) { return q.name == name; });
    if (it == kQuantities.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - kQuantities.begin());
}

QuantityValues quantitiesFromRow(const ColumnLookup& lookup, const NumberText& numbers) {
    auto number = [&](std::string_view column) -> std::optional<double> {
        const auto text = lookup(column);
        if (!text) {
            return std::nullopt;
        }
        const auto parsed = numbers.parse(*text);
        if (!parsed.ok() || !std::isfinite(parsed.value)) {
            return std::nullopt;
        }
        return parsed.value;
    };
    QuantityValues values;
    for (std::size_t i = 0; i < kQuantities.size(); ++i) {
        switch (kQuantities[i].origin) {
        case QuantityOrigin::Column: values[i] = number(kQuantities[i].name); break;
        case QuantityOrigin::HeightFraction: {
            const auto height = number("letter_height_mm");
            const auto distance = number("viewing_distance_mm");
            if (height && distance && *distance > 0) {
                values[i] = *height / *distance;
            }
            break;
        }
        case QuantityOrigin::Polarity: {
            const auto text = lookup("polarity");
            if (text == "positive") {
                values[i] = 1.0;
            } else if (text == "negative") {
                values[i] = -1.0;
            } else if (text == "none") {
                values[i] = 0.0;
            }
            break;
        }
        }
    }
    return values;
}

std::string_view kindText(CriterionKind kind) {
    switch (kind) {
    case CriterionKind::Minimum: return "minimum";
    case CriterionKind::Maximum: return "maximum";
    case CriterionKind::Range: return "range";
    }
    return {};
}

std::string_view levelText(Level level) { return level == Level::Required ? "required" : "recommended"; }

std::string_view statusText(CheckStatus status) {
    switch (status) {
    case CheckStatus::Pass: return "pass";
    case CheckStatus::Fail: return "fail";
    case CheckStatus::NoValue: return "no value";
    case CheckStatus::NotApplicable: return "not applicable";
    }
    return {};
}

namespace {

std::optional<Failure> readCriterion(const toml::table& table, Criterion& c, ProfileChecker::Compiled& compiled);

} // namespace

Expected<Profile> parseProfile(std::string_view text, const std::string& file) {
    auto refuse = [&](int line, std::string reason) { return inputError(std::move(reason), file, line); };
    if (text.size() > kMaxProfileBytes) {
        return refuse(0, "the profile is larger than 1 MiB, the most a profile may hold");
    }
    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& e) {
        return refuse(static_cast<int>(e.source().begin.line), std::string(e.description()));
    }
    Profile profile;
    profile.file_ = file;
    profile.name_ = std::filesystem::path(file).stem().string();
    for (const auto& [key, node] : root) {
        const int line = static_cast<int>(key.source().begin.line);
        if (key == "title") {
            if (!node.is_string()) {
                return refuse(line, "title must be text");
            }
            profile.title_ = node.as_string()->get();
        } else if (key != "criterion") {
            return refuse(line, "unknown key '" + std::string(key.str()) + "' (title or [[criterion]])");
        } else if (!node.is_array_of_tables()) {
            return refuse(line, "criterion must be written as [[criterion]] tables");
        }
    }
    const auto* list = root["criterion"].as_array();
    if (list == nullptr || list->empty()) {
        return refuse(0, "no [[criterion]] in the profile");
    }
    if (list->size() > kMaxCriteria) {
        return refuse(lineOf(*list->get(kMaxCriteria)),
                      "more than " + std::to_string(kMaxCriteria) + " criteria, the most a profile may hold");
    }
    std::unordered_map<std::string, int> firstLines; // of each id
    firstLines.reserve(list->size());
    for (const auto& node : *list) {
        const auto& table = *node.as_table();
        Criterion c;
        c.line = lineOf(table);
        // Compiled here only to refuse a bad expression; checkers compile their own.
        ProfileChecker::Compiled compiled;
        if (auto failure = readCriterion(table, c, compiled)) {
            return refuse(failure->line, std::move(failure->reason));
        }
        if (const auto [earlier, added] = firstLines.try_emplace(c.id, c.line); !added) {
            return refuse(lineOf(*table.get("id")),
                          "duplicate id '" + c.id + "' (first at line " + std::to_string(earlier->second) + ")");
        }
        profile.criteria_.push_back(std::move(c));
        profile.terms_.push_back({kept(compiled.low), kept(compiled.high), kept(compiled.when)});
    }
    return profile;
}

namespace {

std::optional<Failure> readCriterion(const toml::table& table, Criterion& c, ProfileChecker::Compiled& compiled) {
    for (const auto& [key, node] : table) {
        if (std::find(kCriterionKeys.begin(), kCriterionKeys.end(), key.str()) == kCriterionKeys.end()) {
            return Failure{static_cast<int>(key.source().begin.line),
                           "unknown key '" + std::string(key.str()) + "' in criterion"};
        }
    }
    auto text = [&](std::string_view key, std::string& out) -> std::optional<Failure> {
        const auto* node = table.get(key);
        if (node == nullptr) {
            return Failure{c.line, "missing " + std::string(key) + " in criterion"};
        }
        if (!node->is_string() || node->as_string()->get().empty()) {
            return Failure{lineOf(*node), std::string(key) + " must be non-empty text"};
        }
        out = node->as_string()->get();
        return std::nullopt;
    };
    std::string quantity;
    std::string kind;
    std::string level;
    for (auto [key, out] : {std::pair<std::string_view, std::string*>{"id", &c.id},
                            {"quantity", &quantity},
                            {"kind", &kind},
                            {"level", &level},
                            {"source", &c.source}}) {
        if (auto failure = text(key, *out)) {
            return failure;
        }
    }
    const auto index = quantityIndex(quantity);
    if (!index) {
        return Failure{lineOf(*table.get("quantity")), "unknown quantity '" + quantity + "'"};
    }
    c.quantity = *index;
    if (kind == "minimum") {
        c.kind = CriterionKind::Minimum;
    } else if (kind == "maximum") {
        c.kind = CriterionKind::Maximum;
    } else if (kind == "range") {
        c.kind = CriterionKind::Range;
    } else {
        return Failure{lineOf(*table.get("kind")), "kind must be minimum, maximum or range, not '" + kind + "'"};
    }
    if (level == "required") {
        c.level = Level::Required;
    } else if (level == "recommended") {
        c.level = Level::Recommended;
    } else {
        return Failure{lineOf(*table.get("level")), "level must be required or recommended, not '" + level + "'"};
    }

    const bool range = c.kind == CriterionKind::Range;
    const std::array<std::string_view, 2> wanted =
        range ? std::array<std::string_view, 2>{"low", "high"} : std::array<std::string_view, 2>{"limit", ""};
    for (std::string_view key : {"limit", "low", "high"}) {
        const auto* node = table.get(key);
        const bool expected = key == wanted[0] || key == wanted[1];
        if (node == nullptr && expected) {
            return Failure{c.line, "missing " + std::string(key) + " for a " + kind};
        }
        if (node != nullptr && !expected) {
            return Failure{lineOf(*node), std::string("a ") + kind + " takes " + (range ? "low and high" : "limit") +
                                              ", not " + std::string(key)};
        }
    }
    auto bound = [&](std::string_view key, Term& term, std::string& written) {
        const auto& node = *table.get(key);
        written = termText(node);
        return compileTerm(term, node, compiled.variables, key);
    };
    if (range) {
        if (auto f = bound("low", compiled.low, c.low)) {
            return f;
        }
        if (auto f = bound("high", compiled.high, c.high)) {
            return f;
        }
        if (compiled.low.number && compiled.high.number && *compiled.low.number > *compiled.high.number) {
            return Failure{lineOf(*table.get("low")), "low exceeds high, so nothing could pass"};
        }
    } else if (auto f = bound("limit", c.kind == CriterionKind::Minimum ? compiled.low : compiled.high,
                              c.kind == CriterionKind::Minimum ? c.low : c.high)) {
        return f;
    }
    if (const auto* target = table.get("target")) {
        if (!range) {
            return Failure{lineOf(*target), "target is for a range only (a " + kind + " has its limit)"};
        }
        Term term;
        if (target->is_string()) {
            return Failure{lineOf(*target), "target must be a number"};
        }
        if (auto f = compileTerm(term, *target, compiled.variables, "target")) {
            return f;
        }
        const bool inside = (!compiled.low.number || *term.number >= *compiled.low.number) &&
                            (!compiled.high.number || *term.number <= *compiled.high.number);
        if (!inside) {
            return Failure{lineOf(*target), "target " + termText(*target) + " lies outside low..high"};
        }
        c.target = term.number;
    }
    for (auto [key, out] :
         {std::pair<std::string_view, std::string*>{"withdrawn", &c.withdrawn}, {"superseded_by", &c.supersededBy}}) {
        if (table.get(key) != nullptr) {
            if (auto failure = text(key, *out)) {
                return failure;
            }
        }
    }
    if (const auto* when = table.get("when")) {
        if (!when->is_string()) {
            return Failure{lineOf(*when), "when must be an expression in quotes"};
        }
        c.when = when->as_string()->get();
        if (auto f = compileExpression(compiled.when, c.when, compiled.variables, lineOf(*when), "when")) {
            return f;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<CheckResult> ProfileChecker::check(const QuantityValues& values) {
    const std::vector<Criterion>& criteria = profile_->criteria();
    std::vector<CheckResult> results;
    results.reserve(criteria.size());
    for (std::size_t i = 0; i < criteria.size(); ++i) {
        const Criterion& c = criteria[i];
        Compiled& compiled = *compiled_[i];
        CheckResult r;
        r.criterion = &c;
        r.value = values[c.quantity];
        if (compiled.when.present()) {
            const auto applies = evaluate(compiled.when, values, compiled.variables, r.note);
            if (!applies) {
                results.push_back(std::move(r));
                continue;
            }
            if (*applies == 0.0) {
                r.status = CheckStatus::NotApplicable;
                results.push_back(std::move(r));
                continue;
            }
        }
        if (compiled.low.present()) {
            r.low = evaluate(compiled.low, values, compiled.variables, r.note);
        }
        if (compiled.high.present()) {
            r.high = evaluate(compiled.high, values, compiled.variables, r.note);
        }
        const bool limitsKnown =
            (r.low || !compiled.low.present()) && (r.high || !compiled.high.present()) && r.note.empty();
        if (!r.value) {
            r.note = "no value for " + std::string(kQuantities[c.quantity].name);
        }
        if (!r.value || !limitsKnown) {
            results.push_back(std::move(r));
            continue;
        }
        const double v = *r.value;
        const bool aboveLow = !r.low || atOrAbove(v, *r.low);
        const bool belowHigh = !r.high || atOrBelow(v, *r.high);
        r.status = aboveLow && belowHigh ? CheckStatus::Pass : CheckStatus::Fail;
        if (r.low && r.high) {
            r.limit = std::abs(v - *r.low) <= std::abs(v - *r.high) ? r.low : r.high;
        } else {
            r.limit = r.low ? r.low : r.high;
        }
        r.margin = v - *r.limit;
        if (*r.limit != 0.0) {
            r.marginRatio = v / *r.limit;
        }
        results.push_back(std::move(r));
    }
    return results;
}

Expected<Profile> loadProfile(const std::filesystem::path& file) {
    auto text = readBounded(file, kMaxProfileBytes, "the profile");
    if (!text) {
        return text.error();
    }
    return parseProfile(*text, file.string());
}

bool allRequiredPass(std::span<const CheckResult> results) {
    return std::all_of(results.begin(), results.end(), [](const CheckResult& r) {
        return r.criterion->level != Level::Required || r.status == CheckStatus::Pass ||
               r.status == CheckStatus::NotApplicable;
    });
}

std::optional<std::filesystem::path> findProfile(std::string_view nameOrFile,
                                                 std::span<const std::filesystem::path> dirs) {
    const std::filesystem::path given(nameOrFile);
    std::error_code ec;
    if (nameOrFile.find('/') != std::string_view::npos || given.extension() == ".toml") {
        return std::filesystem::is_regular_file(given, ec) ? std::optional(given) : std::nullopt;
    }
    if (nameOrFile.empty() || nameOrFile.front() == '.') {
        return std::nullopt;
    }
    for (const auto& dir : dirs) {
        auto candidate = dir / (std::string(nameOrFile) + ".toml");
        if (std::filesystem::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace vistrel::cli
