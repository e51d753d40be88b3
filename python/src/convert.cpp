// SPDX-License-Identifier: GPL-3.0-or-later
#include "bindings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace vistrel::python {

namespace {

// Decimal mark, group separator and grouping as Qt 6.4's locale data writes
// numbers; digits are ASCII in all of them. The window builds the same from QLocale.
struct LocaleRow {
    std::string_view name;
    std::string_view decimal;
    std::string_view group;
    int groupFirst = 3;
    int groupHigher = 3;
    int groupMinLeading = 1;
    std::string_view minus = "-";
};
constexpr std::string_view kNbsp = "\u00a0";
constexpr std::string_view kNarrowNbsp = "\u202f";
constexpr std::array<LocaleRow, 18> kLocales{{
    {"C", ".", ""},
    {"de_CH", ".", "\u2019"},
    {"de_DE", ",", "."},
    {"en_GB", ".", ","},
    {"en_IN", ".", ",", 3, 2},
    {"en_US", ".", ","},
    {"es_ES", ",", ".", 3, 3, 2},
    {"fr_FR", ",", kNarrowNbsp},
    {"hi_IN", ".", ",", 3, 2},
    {"it_IT", ",", "."},
    {"ja_JP", ".", ","},
    {"ko_KR", ".", ","},
    {"nl_NL", ",", "."},
    {"pl_PL", ",", kNbsp, 3, 3, 2},
    {"pt_BR", ",", "."},
    {"ru_RU", ",", kNbsp},
    {"sv_SE", ",", kNbsp, 3, 3, 1, "\u2212"},
    {"zh_CN", ".", ","},
}};

std::string localeNames() {
    std::string out;
    for (const LocaleRow& row : kLocales) {
        out += (out.empty() ? "" : ", ") + std::string(row.name);
    }
    return out;
}

} // namespace

py::tuple knownLocales() {
    py::list names;
    for (const LocaleRow& row : kLocales) {
        names.append(py::str(row.name.data(), row.name.size()));
    }
    return py::tuple(names);
}

NumberFormat localeFormat(const py::object& locale) {
    if (locale.is_none()) {
        return NumberFormat::invariant();
    }
    if (!py::isinstance<py::str>(locale)) {
        raiseInputError("locale must be a name such as \"de_DE\", not " + std::string(py::repr(locale)), "locale");
    }
    std::string name = locale.cast<std::string>();
    std::replace(name.begin(), name.end(), '-', '_');
    for (const LocaleRow& row : kLocales) {
        if (row.name == name) {
            NumberFormat f;
            f.decimal = row.decimal;
            f.group = row.group;
            f.groupFirst = row.groupFirst;
            f.groupHigher = row.groupHigher;
            f.groupMinLeading = row.groupMinLeading;
            f.minus = row.minus;
            return f;
        }
    }
    raiseInputError("unknown locale \"" + name + "\"; known: " + localeNames(), "locale");
}

std::string_view pointText(double v, char* buffer, std::size_t size) {
    const auto [end, error] = std::to_chars(buffer, buffer + size, v, std::chars_format::fixed);
    return error == std::errc() ? std::string_view(buffer, static_cast<std::size_t>(end - buffer)) : "";
}

std::string rowName(std::string_view column, std::size_t row) {
    return "column " + std::string(column) + " row " + std::to_string(row);
}

std::string inputText(const py::handle& value, std::string_view column, const NumberFormat& format,
                      std::optional<std::size_t> row) {
    const auto refuse = [&](const std::string& why) {
        raiseInputError((row ? rowName(column, *row) : std::string(column)) + ": " + std::string(py::repr(value)) +
                            " " + why,
                        column);
    };
    if (value.is_none()) {
        return {};
    }
    if (py::isinstance<py::str>(value)) {
        return value.cast<std::string>();
    }
    if (PyBool_Check(value.ptr()) != 0) {
        refuse("is neither a number nor a text");
    }
    if (PyIndex_Check(value.ptr()) != 0) { // int and NumPy's integers, exact at any size
        const py::object n = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
        if (!n) {
            throw py::error_already_set();
        }
        return format.fromPointText(std::string(py::str(n)));
    }
    if (PyFloat_Check(value.ptr()) != 0 || (py::hasattr(value, "dtype") && PyNumber_Check(value.ptr()) != 0)) {
        const double v = py::cast<double>(py::float_(py::reinterpret_borrow<py::object>(value)));
        if (!std::isfinite(v)) {
            refuse(std::string("is no number the calculation can take") +
                   (std::isnan(v) ? "; None leaves the input empty" : ""));
        }
        std::array<char, kPointTextSize> buffer{};
        return format.fromPointText(pointText(v, buffer.data(), buffer.size()));
    }
    refuse("is neither a number nor a text");
    return {};
}

bool isWordColumn(std::size_t column) {
    const auto& field = cli::kColumns[column].field;
    return !field || *field == Field::EaseOfRead || *field == Field::Result || *field == Field::Polarity;
}

py::object columnValue(std::size_t column, std::string_view text, const NumberText& numbers) {
    if (text.empty()) {
        return py::none();
    }
    if (!isWordColumn(column)) {
        const ParsedNumber n = numbers.parse(text);
        if (n.ok() && std::isfinite(n.value)) {
            return py::float_(n.value);
        }
    }
    return py::str(text.data(), text.size());
}

std::size_t inputColumn(std::string_view name) {
    const auto index = cli::columnIndex(name);
    if (!index) {
        const auto near = cli::nearColumn(name);
        raiseInputError("unknown input \"" + std::string(name) + "\"" +
                            (near ? "; did you mean \"" + std::string(*near) + "\"?"
                                  : std::string(" (vistrel.INPUTS lists every input)")),
                        name);
    }
    if (!cli::isInputColumn(*index)) {
        raiseInputError(std::string(name) + " is an output of the calculation, not an input", name);
    }
    return *index;
}

py::object namespaceObject(const py::dict& fields) {
    return py::module_::import("types").attr("SimpleNamespace")(**fields);
}

py::object numberOrNone(std::optional<double> v) {
    return v && std::isfinite(*v) ? py::object(py::float_(*v)) : py::object(py::none());
}

py::object textOrNone(const std::string& s) { return s.empty() ? py::object(py::none()) : py::object(py::str(s)); }

} // namespace vistrel::python
