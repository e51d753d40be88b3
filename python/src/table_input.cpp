// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_input.h"

namespace vistrel::python {

namespace {

// Every cell of a column of Python objects as text; numbers and texts may not mix.
void readObjects(Source& s, const py::handle& column, std::string_view name, std::size_t rows, bool nanIsEmpty) {
    const NumberFormat invariant = NumberFormat::invariant();
    s.texts.reserve(rows);
    std::optional<std::size_t> firstNumber;
    std::optional<std::size_t> firstText;
    for (const py::handle cell : column) {
        const std::size_t row = s.texts.size();
        if (nanIsEmpty && PyFloat_Check(cell.ptr()) != 0 && std::isnan(PyFloat_AS_DOUBLE(cell.ptr()))) {
            s.texts.emplace_back();
            continue;
        }
        if (cell.is_none()) {
            s.texts.emplace_back();
            continue;
        }
        const bool isText = PyUnicode_Check(cell.ptr()) != 0;
        (isText ? firstText : firstNumber) = (isText ? firstText : firstNumber).value_or(row);
        if (firstText && firstNumber) {
            raiseInputError("column " + std::string(name) + " mixes numbers (row " + std::to_string(*firstNumber) +
                                ") and texts (row " + std::to_string(*firstText) + "); give it one kind",
                            name);
        }
        if (isText) { // most cells of an object column: read without a copy through pybind11
            Py_ssize_t size = 0;
            const char* utf8 = PyUnicode_AsUTF8AndSize(cell.ptr(), &size);
            if (utf8 == nullptr) {
                throw py::error_already_set();
            }
            s.texts.emplace_back(utf8, static_cast<std::size_t>(size));
            continue;
        }
        s.texts.push_back(inputText(cell, name, invariant, row));
    }
    if (s.texts.size() != rows) {
        raiseInputError("column " + std::string(name) + " has " + std::to_string(s.texts.size()) +
                            " rows where the table has " + std::to_string(rows),
                        name);
    }
}

template <class T> void refuseNonFinite(const Source& s, std::string_view name, std::size_t rows, bool nanIsEmpty) {
    const T* v = static_cast<const T*>(s.data);
    for (std::size_t row = 0; row < rows; ++row) {
        if (!std::isfinite(v[row]) && !(nanIsEmpty && std::isnan(v[row]))) {
            raiseInputError(rowName(name, row) + ": " + (std::isnan(v[row]) ? "nan" : "inf") +
                                " is no number the calculation can take" +
                                (std::isnan(v[row]) ? "; nan_is_empty=True reads NaN as an empty cell" : ""),
                            name);
        }
    }
}

} // namespace

Source readColumn(std::size_t index, const py::handle& column, std::string_view name, std::size_t rows,
                  bool nanIsEmpty) {
    Source s;
    s.column = index;
    if (!py::isinstance<py::array>(column)) {
        readObjects(s, column, name, rows, nanIsEmpty);
        return s;
    }
    const auto array = py::reinterpret_borrow<py::array>(column);
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != rows) {
        raiseInputError(
            "column " + std::string(name) + " is not one value per row of the table's " + std::to_string(rows), name);
    }
    const char kind = array.dtype().kind();
    const auto take = [&](Source::Kind k, const py::dtype& type) {
        s.kind = k;
        s.array = py::array::ensure(array.attr("astype")(type), py::array::c_style);
        s.data = s.array.data();
    };
    if (kind == 'f' && array.dtype().itemsize() == 4) {
        take(Source::Kind::Float32, py::dtype::of<float>());
        refuseNonFinite<float>(s, name, rows, nanIsEmpty);
    } else if (kind == 'f') {
        take(Source::Kind::Float64, py::dtype::of<double>());
        refuseNonFinite<double>(s, name, rows, nanIsEmpty);
    } else if (kind == 'i') {
        take(Source::Kind::Int64, py::dtype::of<std::int64_t>());
    } else if (kind == 'u') {
        take(Source::Kind::UInt64, py::dtype::of<std::uint64_t>());
    } else if (kind == 'O' || kind == 'U' || kind == 'S') {
        readObjects(s, array, name, rows, nanIsEmpty);
    } else {
        raiseInputError("column " + std::string(name) + " holds " + std::string(py::str(array.dtype())) +
                            " values, neither numbers nor texts",
                        name);
    }
    return s;
}

} // namespace vistrel::python
