// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/review.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vistrel::cli {

namespace {

Verdict verdictOf(std::string_view result) {
    if (result == kLegible) {
        return Verdict::Legible;
    }
    return result == kNotLegible ? Verdict::NotLegible : Verdict::None;
}

std::vector<ReviewField> fieldsOf(const Case& c, Role role) {
    std::vector<ReviewField> out;
    for (const FieldInfo& f : kFields) {
        // The verdict has its own line, and the notes are shown with the messages.
        if (f.role != role || f.field == Field::Result || f.field == Field::Notes) {
            continue;
        }
        if (const auto k = columnIndex(f.key); k && columnGroup(*k) > ColumnGroup::Daylight && !c.shown().shows(*k)) {
            continue; // glare and viewing geometry only for a case that has them
        }
        std::string text = c.store().text(f.field);
        if (role == Role::Input && text.empty()) {
            continue;
        }
        out.push_back({f.field, std::move(text)});
    }
    return out;
}

} // namespace

Verdict caseVerdict(const Case& c) { return verdictOf(c.store().view(Field::Result)); }

ReviewDesign reviewDesign(std::string name, const Case& c, const Evaluation& e, const NumberText& numbers) {
    ReviewDesign d;
    d.name = std::move(name);
    d.verdict = caseVerdict(c);
    if (const ParsedNumber margin = numbers.parse(e.margin); !e.margin.empty() && margin.ok()) {
        d.margin = margin.value;
    }
    if (!e.messageText().empty()) { // the message, or a daylight case's notes
        d.messages.push_back(e.messageText());
    }
    d.mode = c.mode();
    d.inputs = fieldsOf(c, Role::Input);
    d.results = fieldsOf(c, Role::Output);
    d.assumptions = assumptions(c, numbers);
    if (e.hasVerdict()) {
        d.notes = plausibilityNotes(c, numbers);
    }
    d.ambientWithoutEffect = ambientHasNoEffect(c, numbers);
    return d;
}

QuantityValues reviewQuantities(const Case& c, const Evaluation& e, const NumberText& numbers) {
    return quantitiesFromRow(
        [&c, &e](std::string_view column) -> std::optional<std::string_view> {
            if (column == kMarginColumn) {
                return e.margin;
            }
            const auto index = columnIndex(column);
            return index ? std::optional(c.view(*index)) : std::nullopt;
        },
        numbers);
}

ReviewProfile reviewProfile(const Profile& profile, std::span<const CheckResult> results) {
    ReviewProfile out{profile.name(), profile.title(), {}};
    for (const CheckResult& r : results) {
        const Criterion& c = *r.criterion;
        out.checks.push_back({c.id, c.quantity, c.kind, c.level, r.status, r.value, r.low, r.high, r.margin, c.source,
                              r.note, c.target, c.withdrawn, c.supersededBy});
    }
    return out;
}

FailedChecks failedChecks(const ReviewDesign& design) {
    FailedChecks out;
    for (const ReviewProfile& p : design.profiles) {
        for (const ReviewCheck& c : p.checks) {
            if (countsAsFailed(c.status, c.level)) {
                (c.level == Level::Required ? out.required : out.recommended).push_back(c.id);
            }
        }
    }
    return out;
}

bool countsAsFailed(CheckStatus status, Level level) {
    return status == CheckStatus::Fail || (level == Level::Required && status == CheckStatus::NoValue);
}

Standing standingOf(Verdict verdict, std::size_t failedRequired, std::size_t failedRecommended) {
    switch (verdict) {
    case Verdict::None: return Standing::NoVerdict;
    case Verdict::NotLegible: return Standing::NotLegible;
    case Verdict::Legible: break;
    }
    if (failedRequired > 0) {
        return Standing::FailsRequired;
    }
    return failedRecommended > 0 ? Standing::FailsRecommended : Standing::Passes;
}

Overall overall(const ReviewDesign& design) {
    const FailedChecks failed = failedChecks(design);
    return {standingOf(design.verdict, failed.required.size(), failed.recommended.size()), failed.required.size(),
            failed.recommended.size(), !design.profiles.empty()};
}

bool fails(Standing standing, FailOn on) {
    switch (on) {
    case FailOn::NotLegible: return standing < Standing::FailsRequired;
    case FailOn::Required: return standing < Standing::FailsRecommended;
    case FailOn::Recommended: return standing < Standing::Passes;
    }
    return true;
}

std::string_view failOnText(FailOn on) {
    switch (on) {
    case FailOn::NotLegible: return "not-legible";
    case FailOn::Required: return "required";
    case FailOn::Recommended: return "recommended";
    }
    return {};
}

std::vector<std::size_t> inverseQuestions(const Case& c) {
    std::vector<std::size_t> out;
    for (const std::string_view name : {"letter_height_mm", "viewing_distance_mm", "age", "ambient_lux"}) {
        out.push_back(*columnIndex(name));
    }
    if (c.mode() == Mode::Luminance) {
        out.push_back(*columnIndex("letter_cdm2")); // the other modes derive it from the light
    }
    return out;
}

std::vector<InverseAnswer> inverseAnswers(const Case& c, const NumberText& numbers) {
    std::vector<InverseAnswer> out;
    for (const std::size_t column : inverseQuestions(c)) {
        const SolveTarget& target = *solveTarget(kColumns[column].name);
        out.push_back({column, solve(c, column, target.range, numbers)});
    }
    return out;
}

ReviewGrid reviewGrid(const NamedRow& design, std::span<const NamedRow> conditions, const NumberText& numbers,
                      const Case& blank) {
    ReviewGrid grid;
    constexpr std::array<Field, 4> kGlareFields{Field::GlareLux, Field::GlareAngleDeg, Field::EyePigment,
                                                Field::GlareVeilCdm2};
    const ConditionsGrid outcomes = evaluateConditions(
        {&design, 1}, conditions, numbers,
        [&](std::size_t, std::size_t, const Case& c, const Evaluation&) {
            if (c.shown().has(ColumnGroup::Glare)) {
                auto& texts = grid.glare.emplace_back();
                for (std::size_t k = 0; k < texts.size(); ++k) {
                    texts[k] = c.store().text(kGlareFields[k]);
                }
            }
        },
        blank);
    grid.rows.push_back({design.name, {}});
    for (std::size_t k = 0; k < conditions.size(); ++k) {
        const ConditionOutcome& o = outcomes.cells[0][k];
        grid.columns.push_back(conditions[k].name);
        const Verdict verdict = !o.hasVerdict ? Verdict::None : o.legible ? Verdict::Legible : Verdict::NotLegible;
        grid.rows[0].cells.push_back({verdict, o.margin, k == outcomes.worst[0]});
    }
    return grid;
}

} // namespace vistrel::cli
