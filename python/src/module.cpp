// SPDX-License-Identifier: GPL-3.0-or-later
// The native half of the `vistrel` Python module; python/vistrel/__init__.py
// re-exports it with the pure-Python helpers.
#include "bindings.h"
#include "vistrel/version.h"

namespace py = pybind11;

PYBIND11_MODULE(_vistrel, m) {
    py::options options;
    options.disable_function_signatures();
    m.doc() = "Legibility of automotive display lettering: the engine of Vistrel New.";
    m.attr("__version__") = VISTREL_VERSION;
    m.attr("LOCALES") = vistrel::python::knownLocales();
    vistrel::python::registerEvaluate(m);
    vistrel::python::registerTable(m);
    vistrel::python::registerExplore(m);
    vistrel::python::registerTolerance(m);
    vistrel::python::registerCheck(m);
    vistrel::python::registerConditions(m);
    m.attr("_SOURCE_CONDITIONS_DIR") = VISTREL_SOURCE_CONDITIONS_DIR;
    m.attr("_BUILD_PACKAGE_DIR") = VISTREL_BUILD_PACKAGE_DIR;
    m.attr("_SOURCE_PROFILES_DIR") = VISTREL_SOURCE_PROFILES_DIR;
}
