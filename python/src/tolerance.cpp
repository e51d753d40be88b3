// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel.tolerance: how sure the verdict is when inputs spread.
#include "analysis/case_tolerance.h"
#include "bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>

namespace vistrel::python {

namespace {

py::object outcome(const cli::SampleOutcome& o) {
    py::dict d;
    d["verdict"] = o.margin ? py::object(py::str(std::string(o.legible ? kLegible : kNotLegible))) : py::none();
    d["message"] = textOrNone(o.message);
    d["margin_log"] = numberOrNone(o.margin);
    return namespaceObject(d);
}

py::object toleranceCase(const py::dict& spreads, std::uint64_t samples, std::uint64_t seed, unsigned threads,
                         const py::kwargs& inputs) {
    const NumberText numbers(NumberFormat::invariant());
    cli::Case base = caseFromInputs(inputs, numbers);
    std::vector<std::string> texts;
    for (const auto& [name, spread] : spreads) {
        const std::string column = py::str(name);
        texts.push_back(column + "=" + inputText(spread, column, numbers.format()));
    }
    if (samples == 0) {
        raiseInputError("samples must be 1 or more", "samples");
    }
    const cli::MonteCarloOptions draws{samples, seed, threads};
    std::optional<cli::Expected<cli::ToleranceAnalysis>> analysis;
    std::vector<double> margins;
    {
        const py::gil_scoped_release unlocked;
        analysis.emplace(cli::analyseTolerance(base, texts, draws, numbers, {}, &margins));
    }
    if (!analysis->ok()) {
        const std::string& message = analysis->error().message;
        const std::string column = message.substr(0, std::min(message.find('='), message.find(' ')));
        raiseInputError(message, column);
    }
    const cli::ToleranceAnalysis& a = analysis->value();
    const auto name = [&](std::size_t input) { return std::string(cli::kColumns[a.columns[input]].name); };
    const auto values = [&](const std::vector<double>& v) {
        py::dict d;
        for (std::size_t k = 0; k < v.size(); ++k) {
            d[py::str(name(k))] = v[k];
        }
        return v.empty() ? py::object(py::none()) : py::object(d);
    };
    py::dict out;
    cli::Case nominal = base;
    out["nominal"] = resultObject(nominal, cli::evaluate(nominal, numbers), numbers);
    py::list tolerances;
    for (std::size_t k = 0; k < a.inputs.size(); ++k) {
        py::dict d;
        d["name"] = name(k);
        d["spread"] = a.texts[k];
        d["low"] = a.inputs[k].low();
        d["high"] = a.inputs[k].high();
        d["truncated"] = a.inputs[k].truncated();
        d["excluded_fraction"] = a.inputs[k].excludedFraction();
        tolerances.append(namespaceObject(d));
    }
    out["tolerances"] = tolerances;
    py::dict mc;
    mc["samples"] = a.mc.samples;
    mc["seed"] = seed;
    mc["legible"] = a.mc.legible;
    mc["probability_legible"] = a.mc.probability;
    mc["interval_95"] = py::make_tuple(a.mc.interval.low, a.mc.interval.high);
    mc["margin_log_p5"] = numberOrNone(a.mc.p5);
    mc["margin_log_p50"] = numberOrNone(a.mc.p50);
    mc["margin_log_p95"] = numberOrNone(a.mc.p95);
    mc["message_samples"] = a.mc.messageSamples;
    mc["messages"] = a.mc.messages;
    mc["margins"] = py::array_t<double>(static_cast<py::ssize_t>(margins.size()), margins.data());
    out["monte_carlo"] = namespaceObject(mc);
    py::dict worst;
    worst["found_by"] = textOrNone(a.worst.foundBy);
    worst["corners_skipped"] = a.worst.skipped;
    worst["corners"] = a.worst.corners;
    worst["searched"] = a.worst.searched;
    worst["values"] = values(a.worst.values);
    worst["verdict"] = a.worst.values.empty()
                           ? py::object(py::none())
                           : py::object(py::str(std::string(a.worst.legible ? kLegible : kNotLegible)));
    worst["margin_log"] = numberOrNone(a.worst.margin);
    worst["message_corners"] = a.worst.messageCorners;
    worst["message"] = textOrNone(a.worst.message);
    out["worst_case"] = namespaceObject(worst);
    py::list bars;
    for (const cli::TornadoBar& b : a.bars) {
        py::dict d;
        d["name"] = name(b.input);
        d["low"] = b.lowValue;
        d["high"] = b.highValue;
        d["swing"] = numberOrNone(b.swing);
        d["at_low"] = outcome(b.atLow);
        d["at_high"] = outcome(b.atHigh);
        bars.append(namespaceObject(d));
    }
    out["tornado"] = bars;
    return namespaceObject(out);
}

} // namespace

void registerTolerance(py::module_& m) {
    m.def("tolerance", &toleranceCase, py::arg("spreads"), py::kw_only(), py::arg("samples") = 100'000,
          py::arg("seed") = 1, py::arg("threads") = 0,
          "tolerance(spreads, *, samples=100000, seed=1, threads=0, **inputs) -> namespace\n\n"
          "How sure the case's verdict is when inputs spread, as `vistrel-cli tolerance` answers:\n"
          "spreads maps numeric inputs to spreads in the input's unit, \"±X\", \"±X%\", \"normal:SD\",\n"
          "\"normal:MEAN:SD\", \"uniform:LO:HI\" or \"triangular:LO:MODE:HI\". The answer holds nominal (a\n"
          "Result), tolerances, monte_carlo (its margins: every sample's margin_log as a NumPy array,\n"
          "ascending, NaN for samples that ended in a message), worst_case and tornado. threads=0 uses\n"
          "every core. Raises InputError for what evaluate refuses and for a spread that is no spread.");
}

} // namespace vistrel::python
