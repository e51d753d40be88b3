// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel.conditions: every design under every condition, as vistrel-cli conditions.
#include "analysis/conditions.h"
#include "bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <vector>

namespace vistrel::python {

namespace {

// Rows of (name, {column: value}); names the design or condition at fault.
std::vector<cli::NamedRow> namedRows(const py::list& rows, std::string_view what) {
    std::vector<cli::NamedRow> out;
    const NumberFormat invariant = NumberFormat::invariant();
    for (const py::handle row : rows) {
        const auto pair = row.cast<py::tuple>();
        cli::NamedRow named;
        named.named = !pair[0].is_none();
        named.name = named.named ? std::string(py::str(pair[0])) : std::to_string(out.size() + 1);
        for (const auto& [key, value] : pair[1].cast<py::dict>()) {
            const std::string name = py::str(key);
            const auto index = cli::columnIndex(name);
            if (!index) {
                if (const auto near = cli::nearColumn(name)) {
                    raiseInputError(std::string(what) + " " + named.name + ": unknown column \"" + name +
                                        "\"; did you mean \"" + std::string(*near) + "\"?",
                                    name);
                }
                continue; // a comment or label
            }
            named.cells.emplace_back(*index, inputText(value, name, invariant));
        }
        out.push_back(std::move(named));
    }
    return out;
}

py::object conditionsGrid(const py::list& designRows, const py::list& conditionRows) {
    const NumberText numbers(NumberFormat::invariant());
    const std::vector<cli::NamedRow> designs = namedRows(designRows, "design");
    const std::vector<cli::NamedRow> conditions = namedRows(conditionRows, "condition");
    if (designs.empty() || conditions.empty()) {
        raiseInputError(std::string(designs.empty() ? "designs" : "conditions") + " holds no rows");
    }
    if (conditions.size() > cli::kMaxConditions) {
        raiseInputError("at most " + std::to_string(cli::kMaxConditions) + " conditions, not " +
                        std::to_string(conditions.size()));
    }
    if (designs.size() * conditions.size() > cli::kMaxConditionPairs) {
        raiseInputError("at most " + std::to_string(cli::kMaxConditionPairs) + " designs x conditions, not " +
                        std::to_string(designs.size() * conditions.size()));
    }
    cli::ConditionsGrid grid;
    {
        const py::gil_scoped_release unlocked;
        grid = cli::evaluateConditions(designs, conditions, numbers);
    }
    const auto d = static_cast<py::ssize_t>(designs.size());
    const auto c = static_cast<py::ssize_t>(conditions.size());
    py::array_t<double> margins({d, c});
    py::list verdicts;
    auto m = margins.mutable_unchecked<2>();
    for (py::ssize_t i = 0; i < d; ++i) {
        py::list row;
        for (py::ssize_t j = 0; j < c; ++j) {
            const cli::ConditionOutcome& o = grid.cells[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            m(i, j) = o.margin.value_or(std::nan(""));
            row.append(o.hasVerdict ? py::object(py::str(std::string(o.legible ? kLegible : kNotLegible)))
                                    : py::object(py::none()));
        }
        verdicts.append(row);
    }
    py::dict out;
    py::list designNames;
    py::list conditionNames;
    for (const cli::NamedRow& r : designs) {
        designNames.append(r.name);
    }
    for (const cli::NamedRow& r : conditions) {
        conditionNames.append(r.name);
    }
    out["designs"] = designNames;
    out["conditions"] = conditionNames;
    out["verdicts"] = py::module_::import("numpy").attr("array")(verdicts, py::arg("dtype") = "O");
    out["margins"] = margins;
    out["worst"] = py::array_t<std::size_t>(static_cast<py::ssize_t>(grid.worst.size()), grid.worst.data());
    out["all_legible"] = grid.allLegible;
    return namespaceObject(out);
}

} // namespace

void registerConditions(py::module_& m) {
    m.def("_conditions", &conditionsGrid, py::arg("designs"), py::arg("conditions"));
}

} // namespace vistrel::python
