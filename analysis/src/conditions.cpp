// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/conditions.h"

namespace vistrel::cli {

const Case& daylightCase() {
    static const Case blank(true);
    return blank;
}

ColumnSet rowColumns(std::span<const NamedRow> rows) {
    ColumnSet shown = columnSet(true);
    for (const NamedRow& row : rows) {
        for (const auto& cell : row.cells) {
            shown.add(ColumnSet::of(cell.first));
        }
    }
    return shown;
}

bool designCase(const NamedRow& design, const NamedRow* condition, Case& c, const Case& blank) {
    c = blank;
    bool readable = true;
    for (const NamedRow* row : {&design, condition}) {
        if (row == nullptr) {
            continue;
        }
        for (const auto& [column, text] : row->cells) {
            // A condition's empty cell leaves the design's value; set, it would clear it.
            if (row != condition || !text.empty()) {
                readable = c.set(column, text) && readable;
            }
        }
    }
    return readable;
}

Evaluation evaluateDesign(const NamedRow& design, const NamedRow* condition, Case& c, const NumberText& numbers,
                          const Case& blank) {
    return designCase(design, condition, c, blank)
               ? evaluate(c, numbers)
               : Evaluation{Outcome::Fault, "mode must be " + std::string(kModeChoices), {}, {}};
}

ConditionsGrid evaluateConditions(std::span<const NamedRow> designs, std::span<const NamedRow> conditions,
                                  const NumberText& numbers, const ConditionVisitor& visit, const Case& blank) {
    // Every case of one run shows the same columns, whichever row names them.
    Case start = blank;
    start.show(rowColumns(designs));
    start.show(rowColumns(conditions));
    ConditionsGrid grid;
    grid.cells.resize(designs.size());
    grid.worst.assign(designs.size(), 0);
    for (std::size_t d = 0; d < designs.size(); ++d) {
        double worstMargin = 0;
        bool worstHasVerdict = true;
        for (std::size_t k = 0; k < conditions.size(); ++k) {
            Case c;
            const Evaluation e = evaluateDesign(designs[d], &conditions[k], c, numbers, start);
            if (visit) {
                visit(d, k, c, e);
            }
            ConditionOutcome o;
            o.hasVerdict = e.hasVerdict();
            o.legible = o.hasVerdict && c.store().view(Field::Result) == kLegible;
            if (const ParsedNumber parsed = numbers.parse(e.margin); o.hasVerdict && parsed.ok()) {
                o.margin = parsed.value;
            }
            grid.allLegible = grid.allLegible && o.legible;
            const double margin = o.margin.value_or(0);
            // No verdict is worse than any margin; ties keep the first condition.
            if (k == 0 || (worstHasVerdict && (!o.hasVerdict || margin < worstMargin))) {
                grid.worst[d] = k;
                worstMargin = margin;
                worstHasVerdict = o.hasVerdict;
            }
            grid.cells[d].push_back(o);
        }
    }
    return grid;
}

} // namespace vistrel::cli
