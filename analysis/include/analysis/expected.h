// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one way errors travel through analysis/ and cli/: a function that can
// fail returns Expected<T>, which holds either its answer or an Error.
// Exceptions are left for running out of memory.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vistrel::cli {

enum class ErrorKind {
    Usage,  // what the user asked for cannot be done as asked: exit status 2
    Input,  // a file or stream read could not be used
    Output, // something could not be written
};

struct Error {
    ErrorKind kind = ErrorKind::Usage;
    std::string message;
    std::string file; // the file at fault, when there is one
    int line = 0;     // its line; 0 when the fault is the file as a whole

    // "FILE:LINE: MESSAGE", "FILE: MESSAGE" or "MESSAGE".
    [[nodiscard]] std::string text() const {
        if (file.empty()) {
            return message;
        }
        return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
    }
};

[[nodiscard]] inline Error usageError(std::string message) { return {ErrorKind::Usage, std::move(message), {}, 0}; }
[[nodiscard]] inline Error inputError(std::string message, std::string file = {}, int line = 0) {
    return {ErrorKind::Input, std::move(message), std::move(file), line};
}
[[nodiscard]] inline Error outputError(std::string message) { return {ErrorKind::Output, std::move(message), {}, 0}; }

template <class T> class [[nodiscard]] Expected {
  public:
    Expected(T value) : held_(std::in_place_index<0>, std::move(value)) {}     // NOLINT(google-explicit-constructor)
    Expected(Error error) : held_(std::in_place_index<1>, std::move(error)) {} // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const { return held_.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] T& value() & { return std::get<0>(held_); }
    [[nodiscard]] const T& value() const& { return std::get<0>(held_); }
    [[nodiscard]] T&& value() && { return std::get<0>(std::move(held_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    [[nodiscard]] const Error& error() const { return std::get<1>(held_); }

  private:
    std::variant<T, Error> held_;
};

// A step that answers nothing but may fail.
template <> class [[nodiscard]] Expected<void> {
  public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)) {} // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const Error& error() const { return *error_; }

  private:
    std::optional<Error> error_;
};

} // namespace vistrel::cli
