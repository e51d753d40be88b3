// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_notes_text.h"

#include "analysis/explore.h"

#include <algorithm>
#include <cmath>

namespace vistrel::cli {

namespace {

std::string name(std::size_t column) { return std::string(kColumns[column].name); }

// Three significant digits: a veil of 0.000372 fL, not 0.000.
std::string significant(double v, const NumberText& numbers) {
    if (v == 0 || !std::isfinite(v)) {
        return numbers.plain(v);
    }
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(std::fabs(v))));
    return numbers.plain(std::round(v * scale) / scale);
}

} // namespace

std::string noteText(const PlausibilityNote& note, const NumberText& numbers) {
    const std::string what = name(note.column) + " " + numbers.plain(note.value);
    switch (note.kind) {
    case NoteKind::PercentFraction:
        return what + " is above 1, but it is a fraction from 0 to 1: did you mean " + numbers.plain(note.suggested) +
               "?";
    case NoteKind::AgeOutsideRange:
        return what + " lies outside the ages of " + numbers.plain(kAgeRange.min) + " to " +
               numbers.plain(kAgeRange.max) + " years that the tool works over (solve's range).";
    case NoteKind::RoundedLuminance: {
        const double off = 100 * std::fabs(note.heldFl - note.exactFl) / note.exactFl;
        std::string text = (kColumns[note.column].field == Field::VeilFl
                                ? name(note.column) + " of " + significant(note.exactFl, numbers) + " fL"
                                : what) +
                           " is held as " + numbers.threeDecimals(note.heldFl) + " fL, " +
                           numbers.plain(std::round(off * 10) / 10) + "% off in three decimals";
        if (note.exactContrast && note.shownContrast) {
            text += ": " + std::string(columnName(Field::ActualCon)) + " reads " +
                    numbers.threeDecimals(*note.shownContrast) + " where the exact luminances give " +
                    numbers.threeDecimals(*note.exactContrast);
        }
        return text + ".";
    }
    case NoteKind::AmbientWithoutEffect:
        return what + " has no effect: display_reflectance is not given or 0, so the ambient light adds no veil.";
    }
    return {};
}

std::string assumptionsText(std::span<const Assumption> list) {
    std::string out;
    for (const Assumption& a : list) {
        // No comma: most rows carry this note, and a cell without one needs no quotes in a CSV.
        out.append(out.empty() ? "Assumed where not given: " : "; ").append(kColumns[a.column].name);
        out.append(" ").append(a.value);
    }
    if (!out.empty()) {
        out += '.';
    }
    return out;
}

std::string evaluationTable(const Case& c, const Evaluation& e) {
    std::string out = "Inputs\n";
    const auto row = [&](std::string_view name, std::string_view value) {
        out.append("  ").append(name).append(24 - std::min<std::size_t>(name.size(), 23), ' ').append(value) += '\n';
    };
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (isInputColumn(k) && c.shown().shows(k)) {
            row(kColumns[k].name, c.view(k));
        }
    }
    out += "Outputs\n";
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (!isInputColumn(k) && k + 1 != kWindowColumnCount && c.shown().shows(k)) { // the result is the verdict below
            row(kColumns[k].name, c.view(k));
        }
    }
    row(kMarginColumn, e.margin);
    if (e.hasVerdict() && !e.notes.empty()) {
        row(kMessageColumn, e.notes);
    }
    return out + (e.hasVerdict() ? "Verdict: " + c.store().text(Field::Result) : "No verdict: " + e.message) + "\n";
}

void addNotes(const Case& c, Evaluation& e, const NumberText& numbers) {
    if (!e.hasVerdict()) {
        return;
    }
    // Appended in place: batch adds a note to nearly every row.
    const auto add = [&e](const std::string& sentence) {
        if (!sentence.empty()) {
            e.notes.append(e.notes.empty() ? "" : " ").append(sentence);
        }
    };
    for (const PlausibilityNote& n : plausibilityNotes(c, numbers)) {
        add(noteText(n, numbers));
    }
    add(assumptionsText(assumptions(c, numbers)));
}

} // namespace vistrel::cli
