// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the files of the native module share: each registers its functions,
// and all raise the errors of vistrel._errors.

#include "analysis/cases.h"
#include "analysis/expected.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vistrel::python {

namespace py = pybind11;

void registerEvaluate(py::module_& m);
void registerTable(py::module_& m);
void registerExplore(py::module_& m);
void registerTolerance(py::module_& m);
void registerCheck(py::module_& m);
void registerConditions(py::module_& m);

// Raise vistrel.InputError (field: the column named, if any) or vistrel.ProfileError.
[[noreturn]] void raiseInputError(const std::string& message, std::optional<std::string_view> field = {});
[[noreturn]] void raiseProfileError(const std::string& message, const std::string& file, int line);
// An analysis error as vistrel.InputError, or ProfileError where it names a file.
[[noreturn]] void raiseError(const cli::Error& error, std::optional<std::string_view> field = {});

// The number format of a locale name ("de_DE"), as Qt 6.4 writes numbers
// there; InputError for a name the table lacks. None is the invariant format.
NumberFormat localeFormat(const py::object& locale);
// The names localeFormat knows.
py::tuple knownLocales();

// The text of a number or a string as the user would type it in format;
// None is empty. InputError naming column for anything else, NaN or infinity;
// its message names the row of a table ("column age row 3") when given.
std::string inputText(const py::handle& value, std::string_view column, const NumberFormat& format,
                      std::optional<std::size_t> row = {});
// "column age row 3"
std::string rowName(std::string_view column, std::size_t row);
// The shortest text that reads back as v, point decimal, never an exponent.
std::string_view pointText(double v, char* buffer, std::size_t size);
inline constexpr std::size_t kPointTextSize = 400; // 5e-324 takes 327 bytes

// A column's text as Python: None when empty, str for the words, else a
// float when it reads as a finite number and the text when not.
py::object columnValue(std::size_t column, std::string_view text, const NumberText& numbers);
// True for the columns that hold words: mode, ease, result, polarity.
bool isWordColumn(std::size_t column);

// The case of keyword inputs as evaluate reads them; InputError for what it
// lacks, where a column of supplied counts as given (solve's swept input);
// without supplied, nothing is refused for lacking (sweep's rows say it).
cli::Case caseFromInputs(const py::kwargs& inputs, const NumberText& numbers, bool daylight = false,
                         std::optional<std::span<const std::size_t>> supplied = std::span<const std::size_t>{});
// The Result of vistrel._result for an evaluated case.
py::object resultObject(const cli::Case& c, const cli::Evaluation& e, const NumberText& numbers);

// The small values of plain answers: None stands for what is empty or not a number.
py::object namespaceObject(const py::dict& fields); // a types.SimpleNamespace
py::object numberOrNone(std::optional<double> v);
py::object textOrNone(const std::string& s);

// A case's column for a name, refusing unknown names with a near one.
std::size_t inputColumn(std::string_view name);

} // namespace vistrel::python
