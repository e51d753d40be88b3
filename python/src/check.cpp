// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel.check: one case against standards profiles, as vistrel-cli check.
#include "analysis/case_notes_text.h"
#include "analysis/profile.h"
#include "analysis/review.h"
#include "bindings.h"

#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace vistrel::python {

namespace {

cli::Profile load(const std::string& name, const std::vector<std::string>& dirs) {
    const std::vector<std::filesystem::path> paths(dirs.begin(), dirs.end());
    const auto file = cli::findProfile(name, paths);
    if (!file) {
        std::string places;
        for (const std::string& d : dirs) {
            places += (places.empty() ? "" : ", ") + d;
        }
        raiseProfileError("no such profile \"" + name + "\" (a built-in name, or a .toml file); the built-in ones " +
                              "are looked up in " + (places.empty() ? "no folder" : places),
                          name, 0);
    }
    auto loaded = cli::loadProfile(*file);
    if (!loaded) {
        const cli::Error& e = loaded.error();
        raiseProfileError(e.text(), e.file.empty() ? file->string() : e.file, e.line);
    }
    return std::move(*loaded);
}

py::object criterion(const cli::CheckResult& r) {
    const cli::Criterion& c = *r.criterion;
    py::dict d;
    d["id"] = c.id;
    d["quantity"] = std::string(cli::kQuantities[c.quantity].name);
    d["kind"] = std::string(cli::kindText(c.kind));
    d["level"] = std::string(cli::levelText(c.level));
    d["value"] = numberOrNone(r.value);
    d["limit"] = numberOrNone(r.limit);
    d["low"] = numberOrNone(r.low);
    d["high"] = numberOrNone(r.high);
    d["target"] = numberOrNone(c.target);
    d["margin"] = numberOrNone(r.margin);
    d["margin_ratio"] = numberOrNone(r.marginRatio);
    d["status"] = std::string(cli::statusText(r.status));
    d["source"] = c.source;
    d["withdrawn"] = textOrNone(c.withdrawn);
    d["superseded_by"] = textOrNone(c.supersededBy);
    d["note"] = textOrNone(r.note);
    return namespaceObject(d);
}

py::object checkCase(const py::dict& inputs, const std::vector<std::string>& profiles,
                     const std::vector<std::string>& dirs) {
    const NumberText numbers(NumberFormat::invariant());
    std::vector<cli::Profile> loaded;
    for (const std::string& name : profiles) {
        loaded.push_back(load(name, dirs));
    }
    cli::Case c = caseFromInputs(py::kwargs(inputs), numbers);
    c.makeDaylight(); // contrast ratio, modulation and polarity are daylight outputs
    cli::Evaluation e = cli::evaluate(c, numbers);
    cli::addNotes(c, e, numbers);
    const cli::QuantityValues values = cli::reviewQuantities(c, e, numbers);
    py::list shown;
    py::list failedRequired;
    py::list failedRecommended;
    bool passed = true;
    for (const cli::Profile& p : loaded) {
        const auto results = cli::ProfileChecker(p).check(values);
        const bool profilePassed = cli::allRequiredPass(results);
        passed = passed && profilePassed;
        py::list criteria;
        for (const cli::CheckResult& r : results) {
            criteria.append(criterion(r));
            if (cli::countsAsFailed(r.status, r.criterion->level)) {
                (r.criterion->level == cli::Level::Required ? failedRequired : failedRecommended)
                    .append(r.criterion->id);
            }
        }
        py::dict d;
        d["name"] = p.name();
        d["title"] = textOrNone(p.title());
        d["passed"] = profilePassed;
        d["criteria"] = criteria;
        shown.append(namespaceObject(d));
    }
    const cli::Standing standing =
        cli::standingOf(cli::caseVerdict(c), failedRequired.size(), failedRecommended.size());
    py::list fails;
    for (const cli::FailOn on : {cli::FailOn::NotLegible, cli::FailOn::Required, cli::FailOn::Recommended}) {
        if (cli::fails(standing, on)) {
            fails.append(std::string(cli::failOnText(on)));
        }
    }
    py::dict out;
    out["case"] = resultObject(c, e, numbers);
    out["profiles"] = shown;
    out["passed"] = passed;
    out["fails"] = py::tuple(fails);
    out["failed_required"] = failedRequired;
    out["failed_recommended"] = failedRecommended;
    return namespaceObject(out);
}

} // namespace

void registerCheck(py::module_& m) {
    m.def("_check", &checkCase, py::arg("inputs"), py::arg("profiles"), py::arg("profile_dirs"));
}

} // namespace vistrel::python
