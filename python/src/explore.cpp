// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel.solve and vistrel.sweep: one case along one of its inputs.
#include "analysis/explore.h"
#include "bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace vistrel::python {

namespace {

std::size_t targetColumn(std::string_view name) {
    if (cli::solveTarget(name) == nullptr) {
        raiseInputError("\"" + std::string(name) + "\" is not a numeric input; give " + cli::solveTargetNames(), name);
    }
    return *cli::columnIndex(name);
}

void refuseList(const cli::Case& c, std::size_t column) {
    if (auto single = cli::refuseSourceList(c, column); !single) {
        raiseError(single.error(), cli::kColumns[column].name);
    }
}

py::object solveCase(const std::string& column, const std::optional<double>& min, const std::optional<double>& max,
                     const py::kwargs& inputs) {
    const NumberText numbers(NumberFormat::invariant());
    const std::size_t k = targetColumn(column);
    const cli::SolveTarget& target = *cli::solveTarget(column);
    const std::array<std::size_t, 1> swept{k};
    cli::Case c = caseFromInputs(inputs, numbers, false, swept);
    refuseList(c, k);
    const cli::SolveRange range{min.value_or(target.range.min), max.value_or(target.range.max)};
    if (auto grid = cli::solveGrid(range, target.logarithmic); !grid) {
        raiseInputError("min and max: " + grid.error().message, min ? "min" : "max");
    }
    cli::SolveResult r;
    {
        const py::gil_scoped_release unlocked;
        r = cli::solve(c, k, range, numbers);
    }
    const auto limit = cli::solveLimit(&target, r);
    const std::optional<double> answer = limit ? std::optional(limit->value) : std::nullopt;
    const py::module_ shapes = py::module_::import("vistrel._result");
    py::list changes;
    for (const cli::ChangePoint& p : r.changes) {
        changes.append(shapes.attr("Change")(p.below, p.above, p.stateBelow, p.stateAbove));
    }
    py::list bands;
    for (const cli::LegibleBand& b : cli::legibleBands(r)) {
        bands.append(shapes.attr("Band")(b.from, b.to, b.fromStart, b.toEnd));
    }
    c.set(k, numbers.plain(answer.value_or(r.min)));
    const cli::Evaluation e = cli::evaluate(c, numbers);
    return shapes.attr("Solution")(column, r.min, r.max, r.stateAtMin, r.stateAtMax, changes,
                                   answer ? py::object(py::float_(*answer)) : py::none(), bands,
                                   resultObject(c, e, numbers));
}

py::dict sweepCase(const std::string& column, double start, double stop, const std::optional<double>& step,
                   const std::optional<double>& factor, const py::kwargs& inputs) {
    const NumberText numbers(NumberFormat::invariant());
    const std::size_t k = targetColumn(column);
    if (step.has_value() == factor.has_value()) {
        raiseInputError("give step or factor, one of them", step ? "factor" : "step");
    }
    std::array<char, kPointTextSize> buffer{};
    std::string text = column + "=" + std::string(pointText(start, buffer.data(), buffer.size())) + ":" +
                       std::string(pointText(stop, buffer.data(), buffer.size())) + ":" + (step ? "" : "x") +
                       std::string(pointText(step ? *step : *factor, buffer.data(), buffer.size()));
    const auto spec = cli::parseSweepSpec(text, numbers);
    if (!spec) {
        raiseInputError(spec.error().message, column);
    }
    const cli::Case base = caseFromInputs(inputs, numbers, false, std::nullopt);
    refuseList(base, k);
    cli::ColumnSet shown = base.shown();
    shown.add(cli::ColumnSet::of(k));
    std::vector<std::size_t> shownColumns;
    for (std::size_t n = 0; n < cli::kColumns.size(); ++n) {
        if (shown.shows(n)) {
            shownColumns.push_back(n);
        }
    }
    const std::size_t rows = spec->count + 1;
    // Numbers by column, then margin_log; words by column, then message.
    std::vector<std::vector<double>> values(shownColumns.size() + 1);
    std::vector<std::vector<std::string>> words(shownColumns.size() + 1);
    const auto number = [&](std::string_view t) {
        const ParsedNumber n = numbers.parse(t);
        return t.empty() || !n.ok() ? std::nan("") : n.value;
    };
    {
        const py::gil_scoped_release unlocked;
        for (auto& v : values) {
            v.reserve(rows);
        }
        cli::sweep(base, *spec, numbers, [&](const cli::Case& c, const cli::Evaluation& e) {
            for (std::size_t n = 0; n < shownColumns.size(); ++n) {
                if (isWordColumn(shownColumns[n])) {
                    words[n].emplace_back(c.view(shownColumns[n]));
                } else {
                    values[n].push_back(number(c.view(shownColumns[n])));
                }
            }
            words.back().emplace_back(e.messageText());
            values.back().push_back(number(e.margin));
            return true;
        });
    }
    py::dict out;
    const auto wordArray = [](const std::vector<std::string>& cells) {
        py::list list;
        for (const std::string& cell : cells) {
            list.append(cell.empty() ? py::object(py::none()) : py::str(cell));
        }
        return py::array(py::module_::import("numpy").attr("array")(list, py::arg("dtype") = "O"));
    };
    const auto numberArray = [](const std::vector<double>& cells) {
        return py::array_t<double>(static_cast<py::ssize_t>(cells.size()), cells.data());
    };
    for (std::size_t n = 0; n < shownColumns.size(); ++n) {
        const std::string name(cli::kColumns[shownColumns[n]].name);
        out[py::str(name)] =
            isWordColumn(shownColumns[n]) ? py::object(wordArray(words[n])) : py::object(numberArray(values[n]));
    }
    out[py::str(std::string(cli::kMessageColumn))] = wordArray(words.back());
    out[py::str(std::string(cli::kMarginColumn))] = numberArray(values.back());
    return out;
}

} // namespace

void registerExplore(py::module_& m) {

    m.def("solve", &solveCase, py::arg("column"), py::kw_only(), py::arg("min") = py::none(),
          py::arg("max") = py::none(),
          "solve(column, *, min=None, max=None, **inputs) -> Solution\n\n"
          "Where the verdict changes along one numeric input of the case, as `vistrel-cli solve --for\n"
          "COLUMN` finds it: the range (min to max, in the column's unit; the input's own range by\n"
          "default) is scanned on solve's grid and each change bisected to one step. The inputs are\n"
          "evaluate's, but for the solved column. Raises InputError for what evaluate refuses, a column\n"
          "that is no numeric input, and a range solve cannot search.");
    m.def("sweep", &sweepCase, py::arg("column"), py::arg("start"), py::arg("stop"), py::kw_only(),
          py::arg("step") = py::none(), py::arg("factor") = py::none(),
          "sweep(column, start, stop, *, step=None, factor=None, **inputs) -> dict of NumPy arrays\n\n"
          "The case evaluated at every step of one numeric input from start to stop, in the column's\n"
          "unit, as `vistrel-cli sweep --vary COLUMN=START:STOP:STEP` (or :xFACTOR, steps evenly spaced\n"
          "on a log scale) writes it: one array per column sweep writes, numbers as float64 (NaN where\n"
          "empty), words as objects. At most 1000000 steps.");
}

} // namespace vistrel::python
