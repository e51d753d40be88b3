// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// evaluate_table's input columns: each read under the GIL into C++ values
// that workers turn into the engine's texts without it.

#include "bindings.h"

#include <pybind11/numpy.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::python {

// One input column, held as C++ values so that workers read it without the GIL.
struct Source {
    enum class Kind { Float64, Float32, Int64, UInt64, Text };
    std::size_t column = 0;
    Kind kind = Kind::Text;
    py::array array; // keeps the numbers alive
    const void* data = nullptr;
    std::vector<std::string> texts;

    // The cell as the engine reads it; buffer holds a number's text.
    [[nodiscard]] std::string_view text(std::size_t row, char* buffer) const {
        switch (kind) {
        case Kind::Float64: {
            const double v = static_cast<const double*>(data)[row];
            return std::isnan(v) ? std::string_view() : pointText(v, buffer, kPointTextSize);
        }
        case Kind::Float32: {
            if (std::isnan(static_cast<const float*>(data)[row])) {
                return {};
            }
            const auto [end, error] = std::to_chars(buffer, buffer + kPointTextSize,
                                                    static_cast<const float*>(data)[row], std::chars_format::fixed);
            return error == std::errc() ? std::string_view(buffer, static_cast<std::size_t>(end - buffer)) : "";
        }
        case Kind::Int64: {
            const auto end =
                std::to_chars(buffer, buffer + kPointTextSize, static_cast<const std::int64_t*>(data)[row]);
            return {buffer, static_cast<std::size_t>(end.ptr - buffer)};
        }
        case Kind::UInt64: {
            const auto end =
                std::to_chars(buffer, buffer + kPointTextSize, static_cast<const std::uint64_t*>(data)[row]);
            return {buffer, static_cast<std::size_t>(end.ptr - buffer)};
        }
        case Kind::Text: return texts[row];
        }
        return {};
    }
};

// A column of an array or list, refused with InputError naming it when it is
// no column of numbers or texts; nanIsEmpty reads NaN as an empty cell.
Source readColumn(std::size_t index, const py::handle& column, std::string_view name, std::size_t rows,
                  bool nanIsEmpty);

} // namespace vistrel::python
