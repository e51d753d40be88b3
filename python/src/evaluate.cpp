// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel.evaluate: one case from keywords, answered as vistrel-cli eval does.
#include "analysis/case_notes.h"
#include "analysis/case_notes_text.h"
#include "bindings.h"

#include <pybind11/stl.h>

#include <vector>

namespace vistrel::python {

namespace {

// "source_cd          Source Intensity Directed, Cd": what help() lists.
std::string inputsDoc() {
    std::string out;
    for (std::size_t k = 0; k < cli::kColumns.size(); ++k) {
        if (!cli::isInputColumn(k)) {
            continue;
        }
        const std::string_view name = cli::kColumns[k].name;
        out += "    " + std::string(name) + std::string(name.size() < 24 ? 24 - name.size() : 1, ' ');
        if (!cli::kColumns[k].field) {
            out += "input mode: " + std::string(cli::kModeChoices) + "\n";
            continue;
        }
        const FieldInfo& f = fieldInfo(*cli::kColumns[k].field);
        out += std::string(f.caption) + (f.unit.empty() ? "" : ", " + std::string(f.unit)) + "\n";
    }
    for (const cli::ColumnAlias& a : cli::kColumnAliases) {
        out += "    " + std::string(a.alias) + " is another name for " + std::string(a.name) + "\n";
    }
    return out;
}

// "age (Observer's Age), illuminance_lux or illuminance_fc (Illuminance, LUX or FC)"
std::string missingText(const std::vector<cli::MissingInput>& missing) {
    std::string out;
    for (const cli::MissingInput& m : missing) {
        out += out.empty() ? "" : ", ";
        std::string units;
        for (std::size_t k = 0; k < m.columns.size(); ++k) {
            out += (k == 0 ? "" : " or ") + std::string(cli::kColumns[m.columns[k]].name);
            if (const auto& field = cli::kColumns[m.columns[k]].field; field && !fieldInfo(*field).unit.empty()) {
                units += (units.empty() ? "" : " or ") + std::string(fieldInfo(*field).unit);
            }
        }
        const auto& first = cli::kColumns[m.columns.front()].field;
        const std::string caption = first ? std::string(fieldInfo(*first).caption) : "input mode";
        out += " (" + caption + (units.empty() ? "" : ", " + units) + ")";
    }
    return out;
}

} // namespace

cli::Case caseFromInputs(const py::kwargs& inputs, const NumberText& numbers, bool daylight,
                         std::optional<std::span<const std::size_t>> supplied) {
    cli::Case c(daylight);
    std::vector<bool> given(cli::kColumns.size(), false);
    for (const auto& [key, value] : inputs) {
        const std::string name = py::str(key);
        const std::size_t k = inputColumn(name);
        if (given[k]) {
            raiseInputError(std::string(cli::kColumns[k].name) + " is given twice (once by another name)", name);
        }
        given[k] = true;
        const std::string text = inputText(value, name, numbers.format());
        if (cli::kColumns[k].field == Field::EaseOfRead && !text.empty() && !cli::easeLevel(text)) {
            raiseInputError("ease \"" + text + "\" is not an ease of reading level; give one of " +
                                std::string(cli::kEaseAliases[0]) + ", " + std::string(cli::kEaseAliases[1]) +
                                " ... or a level's full text (vistrel-cli eval --help lists them)",
                            name);
        }
        if (!c.set(k, text)) {
            raiseInputError("mode \"" + text + "\" must be " + std::string(cli::kModeChoices), name);
        }
    }
    // The window writes the start texts (field_correction's 0.0) in its locale too.
    for (std::size_t k = 0; k < cli::kColumns.size(); ++k) {
        const auto& field = cli::kColumns[k].field;
        if (field && !c.given(k) && !fieldInfo(*field).start.empty()) {
            c.store().setText(*field, numbers.format().fromPointText(fieldInfo(*field).start));
        }
    }
    if (const auto missing = supplied ? cli::missingInputs(c, *supplied) : std::vector<cli::MissingInput>{};
        !missing.empty()) {
        raiseInputError("missing " + missingText(missing), cli::kColumns[missing.front().columns.front()].name);
    }
    return c;
}

py::object resultObject(const cli::Case& c, const cli::Evaluation& e, const NumberText& numbers) {
    py::dict values;
    py::dict texts;
    for (std::size_t k = 0; k < cli::kColumns.size(); ++k) {
        if (c.shown().shows(k)) {
            const py::str name(cli::kColumns[k].name.data(), cli::kColumns[k].name.size());
            values[name] = columnValue(k, c.view(k), numbers);
            texts[name] = py::str(c.text(k));
        }
    }
    texts[py::str(cli::kMarginColumn.data(), cli::kMarginColumn.size())] = e.margin;
    const ParsedNumber margin = numbers.parse(e.margin);
    const py::object result = py::module_::import("vistrel._result").attr("Result");
    return result(values, texts, e.hasVerdict() ? textOrNone(c.store().text(Field::Result)) : py::none(),
                  margin.ok() ? py::object(py::float_(margin.value)) : py::none(), textOrNone(e.messageText()),
                  textOrNone(e.notes), cli::evaluationTable(c, e));
}

namespace {

py::object evaluateCase(const py::object& locale, bool daylight, const py::kwargs& inputs) {
    const NumberText numbers(localeFormat(locale));
    cli::Case c = caseFromInputs(inputs, numbers, daylight);
    cli::Evaluation e = cli::evaluate(c, numbers);
    cli::addNotes(c, e, numbers);
    return resultObject(c, e, numbers);
}

} // namespace

void registerEvaluate(py::module_& m) {
    const std::string doc = "evaluate(*, locale=None, daylight=False, **inputs) -> Result\n\n"
                            "One case, computed as `vistrel-cli eval` computes it. Give the inputs by name,\n"
                            "as numbers (int or float, taken exactly) or as texts typed as in the locale;\n"
                            "None leaves one empty. The inputs and their units:\n\n" +
                            inputsDoc() +
                            "\nlocale: a name such as \"de_DE\" (vistrel.LOCALES lists them): texts are read\n"
                            "    and Result.texts written with its decimal mark and grouping.\n"
                            "daylight: show the daylight columns even without a daylight input.\n\n"
                            "Raises InputError (its field names the input) for an unknown input, a value that\n"
                            "is no number or text, an unknown mode or ease, or missing inputs. A case that\n"
                            "ends without a verdict is no error: Result.verdict is None and message says why.";
    m.def("evaluate", &evaluateCase, py::kw_only(), py::arg("locale") = py::none(), py::arg("daylight") = false,
          doc.c_str());
    py::list inputNames;
    py::list outputNames;
    for (std::size_t k = 0; k < cli::kColumns.size(); ++k) {
        (cli::isInputColumn(k) ? inputNames : outputNames).append(py::str(std::string(cli::kColumns[k].name)));
    }
    m.attr("INPUTS") = py::tuple(inputNames);
    py::dict fieldColumns; // the window's names of the fields, for tests that speak them
    for (const cli::Column& c : cli::kColumns) {
        if (c.field) {
            fieldColumns[py::str(std::string(fieldName(*c.field)))] = py::str(std::string(c.name));
        }
    }
    m.attr("_FIELD_COLUMNS") = fieldColumns;
    m.attr("OUTPUTS") = py::tuple(outputNames);
}

} // namespace vistrel::python
