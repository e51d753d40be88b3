// SPDX-License-Identifier: GPL-3.0-or-later
#include "bindings.h"

namespace vistrel::python {

namespace {

[[noreturn]] void raise(const char* name, const py::tuple& args) {
    const py::object type = py::module_::import("vistrel._errors").attr(name);
    const py::object error = type(*args);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

} // namespace

void raiseInputError(const std::string& message, std::optional<std::string_view> field) {
    raise("InputError",
          py::make_tuple(message, field ? py::object(py::str(field->data(), field->size())) : py::none()));
}

void raiseProfileError(const std::string& message, const std::string& file, int line) {
    raise("ProfileError", py::make_tuple(message, file, line));
}

void raiseError(const cli::Error& error, std::optional<std::string_view> field) {
    if (!error.file.empty() && !field) {
        raiseProfileError(error.text(), error.file, error.line);
    }
    raiseInputError(error.text(), field);
}

} // namespace vistrel::python
